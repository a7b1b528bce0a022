#pragma once
// The connection's lifecycle beyond the tunnel's own methods (tunnel/tunnel.h).

namespace varnel {

class Tunnel;

inline constexpr const char* kOpenVpnDownloadPage = "https://openvpn.net/community-downloads/";
inline constexpr const char* kOpenVpnWebSite = "https://openvpn.net";

// Ends an OpenVPN this process or an earlier one left on the management port, and the reader.
void StopStaleOpenVpn(Tunnel& tunnel);

}  // namespace varnel
