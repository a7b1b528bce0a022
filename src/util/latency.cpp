#include "util/latency.h"

#include <algorithm>
#include <limits>

#include "bridge/worker.h"
#include "platform/icmp.h"
#include "platform/resolver.h"

namespace varnel::util {

std::int32_t measureLatency(const std::string& host) {
    // getaddrinfo on Windows answers an empty name with the machine's own addresses, which would give
    // a figure for no server at all.
    if (host.empty()) return 0;
    const std::optional<platform::Ipv4Address> address = platform::firstIpv4Address(host);
    if (!address) return 0;
    const std::optional<std::uint32_t> roundTrip = platform::icmpEcho(*address);
    if (!roundTrip) return 0;
    // 0 means "no figure" to the interface, so a reply under a millisecond counts as 1.
    const std::uint32_t capped = std::min<std::uint32_t>(*roundTrip, std::numeric_limits<std::int32_t>::max());
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(capped));
}

void measureTcpLatency(platform::ThreadLauncher& threads, std::string host, const bridge::Promise<std::int32_t>& promise) {
    bridge::startWorker(threads, "measureTcpLatency", promise,
                [host = std::move(host)](const bridge::Promise<std::int32_t>& p) { p.resolve(measureLatency(host)); });
}

}  // namespace varnel::util
