#pragma once
// One ICMP echo request to an IPv4 address (platform/resolver.h finds the address).

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/resolver.h"

namespace varnel::platform {

// The payload and time-out every echo uses: 32 zero bytes, 2000 ms.
inline constexpr std::size_t kEchoPayloadSize = 32;
inline constexpr std::uint32_t kEchoTimeoutMs = 2000;

// Sends one echo request and waits for its reply. The round-trip time in milliseconds (0 for a reply
// under a millisecond); none when there was no successful reply in time or the echo could not be sent.
std::optional<std::uint32_t> icmpEcho(const Ipv4Address& address);

}  // namespace varnel::platform
