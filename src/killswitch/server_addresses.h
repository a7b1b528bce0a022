#pragma once
// The VPN server's IPv4 addresses, found by name resolution and kept for the kill switch.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::killswitch {

// The addresses joined by ",", each listed once, in their first order.
std::string joinUniqueAddresses(const std::vector<std::string>& addresses);

// The host's IPv4 addresses, joined by ","; empty for an empty host or a failed resolution.
// Blocks while the system resolves the name.
std::string resolveServerAddresses(std::string_view host);

}  // namespace varnel::killswitch
