#pragma once
// One ICMP echo request to an IPv4 address, and the IPv4 name look-up that precedes it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace varnel::platform {

using Ipv4Address = std::array<std::uint8_t, 4>;

// getaddrinfo with the host's bytes unchanged, IPv4 only; the first entry's address, or none when the
// name does not resolve or has no IPv4 address.
std::optional<Ipv4Address> firstIpv4Address(const std::string& host);

// The payload and time-out every echo uses: 32 zero bytes, 2000 ms.
inline constexpr std::size_t kEchoPayloadSize = 32;
inline constexpr std::uint32_t kEchoTimeoutMs = 2000;

// Sends one echo request and waits for its reply. The round-trip time in milliseconds (0 for a reply
// under a millisecond); none when there was no successful reply in time or the echo could not be sent.
std::optional<std::uint32_t> icmpEcho(const Ipv4Address& address);

}  // namespace varnel::platform
