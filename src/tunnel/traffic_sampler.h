#pragma once
// Download and upload rates of the tunnel's adapter, from its byte counters between two samples.
// Owned by the tunnel; used from the interface thread. mutex_ (the traffic lock) guards every field
// and is never held with the TunnelLock or across the adapter queries.

#include <cstdint>
#include <mutex>
#include <utility>

#include "bridge/js_value.h"
#include "platform/network_adapters.h"

namespace varnel::tunnel {

class TrafficSampler {
public:
    // (download, upload) in bytes per second. The first sample after a reset or an adapter change
    // gives 0; samples less than 500 ms after the reference repeat the rates without moving it.
    std::pair<double, double> SampleTraffic(platform::NetworkAdapters& adapters, platform::Clock& clock);
    void ResetTraffic();

private:
    std::mutex mutex_;
    bool initialized_ = false;
    std::uint64_t lastLuid_ = 0;
    std::uint64_t lastInOctets_ = 0;
    std::uint64_t lastOutOctets_ = 0;
    std::uint64_t lastTicks_ = 0;
    double downRate_ = 0;
    double upRate_ = 0;
};

// Both rates as the interface gets them: cut to whole numbers, sent as doubles.
bridge::JSValueObject trafficRates(std::pair<double, double> rates);

}  // namespace varnel::tunnel
