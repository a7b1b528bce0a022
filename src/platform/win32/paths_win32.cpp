#include "platform/paths.h"

#include <windows.h>

namespace varnel::platform {

PathText ownExecutablePath() {
    // A zero-filled buffer of 260 units; the result is not checked, so a failure gives "".
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return buffer;
}

}  // namespace varnel::platform
