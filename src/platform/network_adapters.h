#pragma once
// The tunnel's network adapter: whether the TAP driver is there, which adapter carries the tunnel,
// and its byte counters. On Linux the tun/tap driver (/dev/net/tun) plays the TAP driver's part.

#include <cstdint>
#include <memory>
#include <optional>

namespace varnel::platform {

class NetworkAdapters {
public:
    virtual ~NetworkAdapters() = default;
    // At least one TAP adapter exists, in any state.
    virtual bool tapAdapterPresent() = 0;
    // The id (Windows: interface LUID; Linux: interface index) of the first TAP adapter that is up.
    virtual std::optional<std::uint64_t> activeTapAdapter() = 0;
    // The adapter's total received and sent bytes; false when they cannot be read.
    virtual bool readCounters(std::uint64_t adapter, std::uint64_t& inOctets, std::uint64_t& outOctets) = 0;
};

std::shared_ptr<NetworkAdapters> systemNetworkAdapters();

// A millisecond clock that only moves forward (GetTickCount64; CLOCK_MONOTONIC on Linux).
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t nowMs() = 0;
};

std::shared_ptr<Clock> systemClock();

}  // namespace varnel::platform
