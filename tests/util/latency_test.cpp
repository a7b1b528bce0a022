#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/test_host.h"
#include "util/latency.h"

// Real echoes, all to loopback: nothing here sends a packet beyond this machine.

namespace varnel::util {
namespace {

std::int64_t measureThroughModule(const std::string& host, std::int64_t port) {
    test::TestHost testHost;
    const test::Settlement answer = testHost.callAndWait("measureTcpLatency", JSValue(JSValueArray{JSValue(host), JSValue(port)}));
    EXPECT_TRUE(answer.resolved);
    const std::int64_t* figure = answer.value.asInt64();
    EXPECT_NE(figure, nullptr);
    return figure ? *figure : -1;
}

TEST(Latency, LoopbackAnswersAtLeastOneWhateverThePort) {
    for (const std::int64_t port : {443, 0, -1}) {
        SCOPED_TRACE(port);
        EXPECT_GE(measureThroughModule("127.0.0.1", port), 1);
    }
    // A name that the hosts file resolves goes the same way.
    EXPECT_GE(measureLatency("localhost"), 1);
}

TEST(Latency, AnswersZeroWhenThereIsNoIpv4AddressToAsk) {
    // A label longer than 63 bytes cannot be put into a query, so the resolver gives up without
    // sending one, and the reserved top-level name could never resolve anyway.
    const std::string unresolvable = std::string(64, 'a') + ".varnel.invalid";
    const char* hosts[] = {"", "::1", "fe80::1", unresolvable.c_str()};
    for (const char* host : hosts) {
        SCOPED_TRACE(host);
        EXPECT_EQ(measureThroughModule(host, 443), 0);
    }
}

}  // namespace
}  // namespace varnel::util
