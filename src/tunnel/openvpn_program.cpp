#include "tunnel/openvpn_program.h"

#include <vector>

#include "platform/openvpn_install.h"

namespace varnel::tunnel {

using platform::entryExists;
using platform::PathText;

namespace {

// The text before the last separator; empty when there is none.
PathText folderOf(const PathText& path) {
    const std::size_t cut = path.rfind(platform::kPathSeparator);
    return cut == PathText::npos ? PathText() : path.substr(0, cut);
}

PathText join(const PathText& folder, const PathText& name) { return folder + platform::kPathSeparator + name; }

}  // namespace

PathText OpenVpnLocator(const PathText& executablePath) {
    const PathText program = platform::kOpenVpnProgramName;
    const PathText subfolder = platform::widenBytes("openvpn");
    const PathText appFolder = folderOf(executablePath);

    std::vector<PathText> candidates = {join(join(appFolder, subfolder), program), join(appFolder, program)};
    if (!appFolder.empty() && appFolder.find(platform::kPathSeparator) != PathText::npos) {
        const PathText parent = folderOf(appFolder);
        candidates.push_back(join(join(parent, subfolder), program));
        candidates.push_back(join(parent, program));
    }
    for (PathText& installed : platform::installedOpenVpnCandidates()) candidates.push_back(std::move(installed));

    for (const PathText& candidate : candidates)
        if (platform::isTrustedProgram(candidate)) return candidate;
    return platform::searchOpenVpnOnPath();
}

PathText TapInstallerPath(const PathText& openVpnPath) {
    const PathText name = platform::kTapInstallerName;
    if (name.empty()) return {};
    const std::size_t cut = openVpnPath.rfind(platform::kPathSeparator);
    const PathText folder = cut == PathText::npos ? openVpnPath : openVpnPath.substr(0, cut);
    const PathText installer = join(folder, name);
    return entryExists(installer) ? installer : PathText();
}

std::string openVpnParameters(const PathText& configPath, const PathText& authPath, const PathText& logPath,
                              std::uint16_t managementPort, const PathText& secretPath, bool blockIpv6) {
    auto quoted = [](const PathText& path) { return "\"" + platform::pathTextToUtf8(path) + "\""; };
    std::string line = "--config " + quoted(configPath);
    if (!authPath.empty()) line += " --auth-user-pass " + quoted(authPath);
    line += " --log " + quoted(logPath);
    line += " --management 127.0.0.1 " + std::to_string(managementPort);
    if (!secretPath.empty()) line += " " + quoted(secretPath);
    line += " --verb 3 --connect-retry 2 --connect-timeout 10";
    if (blockIpv6) line += " --ifconfig-ipv6 fd15:53b6:dead::2/64 fd15:53b6:dead::1 --redirect-gateway ipv6 --block-ipv6";
    line += platform::openVpnDriverOption();
    return line;
}

}  // namespace varnel::tunnel
