#pragma once
// Name resolution for the kill switch: the IPv4 addresses of a host, as the system's resolver
// gives them.

#include <string>
#include <string_view>
#include <vector>

namespace varnel::platform {

// Every IPv4 result of getaddrinfo (flags 0, AF_INET, SOCK_DGRAM, protocol 0) in the order
// returned, in dotted-decimal form, duplicates included; empty when the resolution fails.
std::vector<std::string> resolveIpv4Addresses(std::string_view host);

}  // namespace varnel::platform
