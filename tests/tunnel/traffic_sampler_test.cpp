#include "tunnel/traffic_sampler.h"
#include "tunnel/tunnel.h"

#include <gtest/gtest.h>

#include "support/fake_network.h"
#include "support/test_runtime.h"
#include "support/loopback_server.h"
#include "tunnel/management_client.h"

namespace varnel {
namespace {

using Rates = std::pair<double, double>;

class TrafficSamplerTest : public ::testing::Test {
protected:
    Rates sample() { return sampler.SampleTraffic(adapters, clock); }
    void advance(std::uint64_t ms, std::uint64_t in, std::uint64_t out) {
        clock.now += ms;
        adapters.inOctets += in;
        adapters.outOctets += out;
    }

    TrafficSampler sampler;
    test::FakeNetworkAdapters adapters;
    test::FakeClock clock;
};

TEST_F(TrafficSamplerTest, FirstSampleIsZeroThenBytesPerSecond) {
    adapters.inOctets = 5'000'000;
    EXPECT_EQ(sample(), Rates(0, 0));
    advance(1500, 3000, 600);
    EXPECT_EQ(sample(), Rates(2000, 400));
}

TEST_F(TrafficSamplerTest, SamplesUnder500MsRepeatTheRatesWithoutMovingTheReference) {
    sample();
    advance(1000, 1000, 1000);
    EXPECT_EQ(sample(), Rates(1000, 1000));
    advance(200, 5000, 0);
    EXPECT_EQ(sample(), Rates(1000, 1000));
    advance(300, 0, 0);  // 500 ms since the reference, which still holds the earlier counters
    EXPECT_EQ(sample(), Rates(10000, 0));
}

TEST_F(TrafficSamplerTest, ACounterGoingBackwardsKeepsTheOldRateAndTakesTheNewReference) {
    sample();
    advance(1000, 4000, 2000);
    EXPECT_EQ(sample(), Rates(4000, 2000));
    clock.now += 1000;
    adapters.inOctets = 100;  // the adapter was reset
    adapters.outOctets += 1000;
    EXPECT_EQ(sample(), Rates(4000, 1000));
    advance(1000, 500, 0);
    EXPECT_EQ(sample(), Rates(500, 0));
}

TEST_F(TrafficSamplerTest, NoAdapterUpResetsAndAnotherAdapterStartsAfresh) {
    sample();
    advance(1000, 1000, 1000);
    EXPECT_EQ(sample(), Rates(1000, 1000));
    adapters.active.reset();
    EXPECT_EQ(sample(), Rates(0, 0));
    adapters.active = 7;
    advance(1000, 1000, 1000);
    EXPECT_EQ(sample(), Rates(0, 0));  // first sample after the reset
    adapters.active = 8;
    advance(1000, 1000, 1000);
    EXPECT_EQ(sample(), Rates(0, 0));  // another adapter
    adapters.readable = false;
    advance(1000, 1000, 1000);
    EXPECT_EQ(sample(), Rates(0, 0));  // unreadable counters change nothing
    adapters.readable = true;
    EXPECT_EQ(sample(), Rates(1000, 1000));
}

TEST(TrafficStats, RatesOnlyWhileConnectedCutToWholeNumbersAsDoubles) {
    auto adapters = std::make_shared<test::FakeNetworkAdapters>();
    auto clock = std::make_shared<test::FakeClock>();
    auto runtime = test::makeTestRuntime([&](RuntimeServices& s) {
        s.adapters = adapters;
        s.clock = clock;
    });
    Tunnel& tunnel = *runtime->tunnel;
    const JSValue zero(0.0);

    JSValueObject stats = tunnel.trafficStats();  // disconnected
    EXPECT_EQ(*stats.find("downBps"), zero);
    EXPECT_EQ(*stats.find("upBps"), zero);

    tunnel.control.state.status = "connected";
    tunnel.trafficStats();
    clock->now += 3000;
    adapters->inOctets += 1000;  // 333.33 bytes a second
    adapters->outOctets += 2;
    stats = tunnel.trafficStats();
    EXPECT_EQ(*stats.find("downBps"), JSValue(333.0));
    EXPECT_EQ(*stats.find("upBps"), zero);
    EXPECT_EQ(stats.find("downBps")->type(), JSValueType::Double);

    tunnel.control.state.status = "connecting";
    EXPECT_EQ(*tunnel.trafficStats().find("downBps"), zero);
    tunnel.control.state.status = "connected";
    clock->now += 3000;
    adapters->inOctets += 1000;
    EXPECT_EQ(*tunnel.trafficStats().find("downBps"), zero);  // starts afresh after "connecting"
}

TEST(NetworkAdapters, LoopbackCountersGrowWithTrafficOnLinux) {
    if (platform::kPathSeparator != '/') GTEST_SKIP() << "interface indexes name adapters on Linux only";
    auto adapters = platform::systemNetworkAdapters();
    std::uint64_t in0 = 0, out0 = 0, in1 = 0, out1 = 0;
    ASSERT_TRUE(adapters->readCounters(1, in0, out0));  // the loopback interface has index 1
    test::LoopbackServer server;
    platform::Socket client = ManagementConnect(server.port());
    test::LoopbackConnection peer = server.accept();
    peer.send(std::string(100000, 'x'));
    ASSERT_TRUE(adapters->readCounters(1, in1, out1));
    EXPECT_GE(in1 - in0, 100000u);
    EXPECT_GE(out1 - out0, 100000u);
}

}  // namespace
}  // namespace varnel
