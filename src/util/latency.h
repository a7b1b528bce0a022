#pragma once
// The latency figure of a server: the round-trip time of one ICMP echo to its first IPv4 address.
// No TCP connection is made, whatever the method's name says.

#include <cstdint>
#include <string>

#include "bridge/promise.h"
#include "platform/thread.h"

namespace varnel::util {

// Blocks for the look-up and at most the echo's time-out. Milliseconds, at least 1; 0 when no figure
// could be had.
std::int32_t measureLatency(const std::string& host);

// Measures on a detached worker and resolves the promise from there; returns at once.
void measureTcpLatency(platform::ThreadLauncher& threads, std::string host, const bridge::Promise<std::int32_t>& promise);

}  // namespace varnel::util
