#include "platform/paths.h"

#include <windows.h>
#include <pathcch.h>

#include <algorithm>

namespace varnel::platform {

PathText ownExecutablePath() {
    // A zero-filled buffer of 260 units; the result is not checked, so a failure gives "".
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return buffer;
}

PathText folderOfPath(const PathText& path) {
    if (path.size() >= MAX_PATH) return {};
    wchar_t buffer[MAX_PATH] = {};
    std::copy(path.begin(), path.end(), buffer);
    // The result is not checked: a path with nothing to remove stays as it is.
    PathCchRemoveFileSpec(buffer, MAX_PATH);
    return buffer;
}

}  // namespace varnel::platform
