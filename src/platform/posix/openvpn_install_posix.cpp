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
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::string_view openVpnDriverOption() { return {}; }

}  // namespace varnel::platform
