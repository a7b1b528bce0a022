#include "platform/paths.h"

#include <unistd.h>

#include <climits>

namespace varnel::platform {

PathText ownExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? PathText(buffer, static_cast<std::size_t>(n)) : PathText();
}

PathText folderOfPath(const PathText& path) {
    const std::size_t cut = path.rfind('/');
    if (cut == PathText::npos) return {};
    return path.substr(0, cut == 0 ? 1 : cut);
}

}  // namespace varnel::platform
