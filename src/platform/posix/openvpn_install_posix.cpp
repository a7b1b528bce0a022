#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/openvpn_install.h"

namespace varnel::platform {

const PathChar* const kOpenVpnProgramName = "openvpn";
const PathChar* const kTapInstallerName = "";

std::vector<PathText> installedOpenVpnCandidates() { return {"/usr/sbin/openvpn", "/usr/local/sbin/openvpn"}; }

PathText searchOpenVpnOnPath() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (folder.empty()) continue;
        const std::string candidate = std::string(folder) + "/openvpn";
        if (::access(candidate.c_str(), X_OK) == 0 && isTrustedProgram(candidate)) return candidate;
    }
    return {};
}

std::string_view openVpnDriverOption() { return {}; }

namespace {
// Owned by root and writable by nobody else.
bool onlyRootMayChange(const struct stat& st) { return st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0; }
}  // namespace

bool isTrustedProgram(const PathText& path) {
    struct stat file, folder;
    const std::size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode) && onlyRootMayChange(file) &&
           ::stat(parent.c_str(), &folder) == 0 && onlyRootMayChange(folder);
}

}  // namespace varnel::platform
