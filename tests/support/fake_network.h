#pragma once
// Hand-set adapter counters and clock, for tests of the traffic rates.

#include <cstdint>
#include <optional>

#include "platform/network_adapters.h"

namespace varnel::test {

class FakeNetworkAdapters final : public platform::NetworkAdapters {
public:
    bool tapAdapterPresent() override { return present; }
    std::optional<std::uint64_t> activeTapAdapter() override { return active; }
    bool readCounters(std::uint64_t adapter, std::uint64_t& in, std::uint64_t& out) override {
        if (!readable || !active || adapter != *active) return false;
        in = inOctets;
        out = outOctets;
        return true;
    }

    bool present = true, readable = true;
    std::optional<std::uint64_t> active = 7;
    std::uint64_t inOctets = 0, outOctets = 0;
};

struct FakeClock final : platform::Clock {
    std::uint64_t nowMs() override { return now; }
    std::uint64_t now = 1000000;
};

}  // namespace varnel::test
