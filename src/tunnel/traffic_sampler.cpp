#include "tunnel/traffic_sampler.h"

#include <cmath>

namespace varnel::tunnel {

void TrafficSampler::ResetTraffic() {
    std::lock_guard lock(mutex_);
    initialized_ = false;
    lastTicks_ = 0;
    downRate_ = upRate_ = 0;
}

std::pair<double, double> TrafficSampler::SampleTraffic(platform::NetworkAdapters& adapters, platform::Clock& clock) {
    const auto adapter = adapters.activeTapAdapter();
    if (!adapter) {
        ResetTraffic();
        return {0, 0};
    }
    std::uint64_t in = 0, out = 0;
    if (!adapters.readCounters(*adapter, in, out)) return {0, 0};
    const std::uint64_t now = clock.nowMs();

    std::lock_guard lock(mutex_);
    if (!initialized_ || lastLuid_ != *adapter) {
        lastLuid_ = *adapter;
        lastInOctets_ = in;
        lastOutOctets_ = out;
        lastTicks_ = now;
        initialized_ = true;
        downRate_ = upRate_ = 0;
        return {0, 0};
    }
    const std::uint64_t elapsed = now - lastTicks_;
    if (elapsed < 500) return {downRate_, upRate_};
    const double seconds = static_cast<double>(elapsed) / 1000.0;
    // A counter that went backwards (the adapter was reset) keeps the previous rate.
    if (in >= lastInOctets_) downRate_ = static_cast<double>(in - lastInOctets_) / seconds;
    if (out >= lastOutOctets_) upRate_ = static_cast<double>(out - lastOutOctets_) / seconds;
    lastInOctets_ = in;
    lastOutOctets_ = out;
    lastTicks_ = now;
    return {downRate_, upRate_};
}

bridge::JSValueObject trafficRates(std::pair<double, double> rates) {
    return bridge::JSValueObject{{"downBps", bridge::JSValue(std::trunc(rates.first))}, {"upBps", bridge::JSValue(std::trunc(rates.second))}};
}

}  // namespace varnel::tunnel
