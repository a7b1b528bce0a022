#pragma once
// Where this system's OpenVPN is usually installed, and what its command line needs here.

#include <string_view>
#include <vector>

#include "platform/files.h"

namespace varnel::platform {

// The program's file name ("openvpn.exe" on Windows, "openvpn" on Linux).
extern const PathChar* const kOpenVpnProgramName;

// The installation folders' programs, tried after the application's own folders, in order.
std::vector<PathText> installedOpenVpnCandidates();
// The program found by the system's own search (SearchPathW; PATH on Linux); empty when none.
PathText searchOpenVpnOnPath();

// What ends the OpenVPN command line on this system: the TAP driver choice on Windows; nothing on
// Linux, whose OpenVPN rejects that option.
std::string_view openVpnDriverOption();

// Whether path is a program we may run with administrator rights: a regular file (not a folder of
// that name) and, on Linux, one only root can change, in a folder only root can change, so that no
// user swaps it between our check and the elevated launch.
bool isTrustedProgram(const PathText& path);

// The TAP driver installer's file name beside openvpn.exe; empty where there is no installer.
extern const PathChar* const kTapInstallerName;

}  // namespace varnel::platform
