#include <windows.h>

#include "platform/openvpn_install.h"

namespace varnel::platform {

const PathChar* const kOpenVpnProgramName = L"openvpn.exe";
const PathChar* const kTapInstallerName = L"tap-windows.exe";

std::vector<PathText> installedOpenVpnCandidates() {
    return {L"C:\\Program Files\\OpenVPN\\bin\\openvpn.exe", L"C:\\Program Files (x86)\\OpenVPN\\bin\\openvpn.exe"};
}

PathText searchOpenVpnOnPath() {
    wchar_t buffer[MAX_PATH] = {};
    if (SearchPathW(nullptr, L"openvpn.exe", nullptr, MAX_PATH, buffer, nullptr) == 0) return {};
    return buffer;
}

std::string_view openVpnDriverOption() { return " --windows-driver tap-windows6"; }

bool isTrustedProgram(const PathText& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace varnel::platform
