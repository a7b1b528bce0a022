#pragma once
// OpenVPN as an outside program: where it is, and the command line it is started with.

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace varnel::tunnel {

// The first of these that exists: in the application folder, openvpn/PROGRAM then PROGRAM; the same
// in its parent folder; the usual installation folders; the system's program search. Empty when
// none is found. executablePath is the running program's own path.
platform::PathText OpenVpnLocator(const platform::PathText& executablePath);

// The tap-windows.exe beside the given openvpn.exe, or empty when it is not there (always empty
// where there is no installer).
platform::PathText TapInstallerPath(const platform::PathText& openVpnPath);

// The launch parameters as one line. authPath is empty when the profile has no auth.txt; the
// management interface asks for the password in secretPath (empty: none).
std::string openVpnParameters(const platform::PathText& configPath, const platform::PathText& authPath,
                              const platform::PathText& logPath, std::uint16_t managementPort,
                              const platform::PathText& secretPath, bool blockIpv6);

}  // namespace varnel::tunnel
