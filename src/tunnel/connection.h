#pragma once
// The connection's lifecycle beyond the tunnel's own methods (tunnel/tunnel.h).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/socket.h"

namespace varnel::tunnel {

class Tunnel;

inline constexpr const char* kOpenVpnDownloadPage = "https://openvpn.net/community-downloads/";
inline constexpr const char* kOpenVpnWebSite = "https://openvpn.net";

// The management connection, logged in with secret, when the port's listener is an OpenVPN we trust
// (when pid is not 0, that very process); none otherwise. A probe that fails closes its socket.
std::shared_ptr<platform::Socket> attachManagement(const Tunnel& tunnel, std::uint32_t pid, const std::string& secret);

// Ends an OpenVPN this process or an earlier one left on the management port, and the reader.
void StopStaleOpenVpn(Tunnel& tunnel);

}  // namespace varnel::tunnel
