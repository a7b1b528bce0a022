#pragma once
// Name resolution: the IPv4 addresses of a host, as the system's resolver gives them, for the kill
// switch's server addresses and the latency figure's echo.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::platform {

using Ipv4Address = std::array<std::uint8_t, 4>;

// Every IPv4 result of getaddrinfo (flags 0, AF_INET, SOCK_DGRAM, protocol 0) in the order
// returned, in dotted-decimal form, duplicates included; empty when the resolution fails.
std::vector<std::string> resolveIpv4Addresses(std::string_view host);

// getaddrinfo with the host's bytes unchanged, hints all zero but AF_INET; the first entry's address,
// or none when the name does not resolve or has no IPv4 address.
std::optional<Ipv4Address> firstIpv4Address(const std::string& host);

}  // namespace varnel::platform
