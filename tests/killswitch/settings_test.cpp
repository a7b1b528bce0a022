#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/isolated_runtime.h"
#include "support/killswitch_service_double.h"
#include "support/test_host.h"

namespace varnel {
namespace {

using Lines = std::vector<std::string>;

JSValue enabledArg(bool value) { return JSValue(JSValueArray{JSValue(value)}); }
JSValue enabledAnswer(bool value) { return JSValue(JSValueObject{{"enabled", JSValue(value)}}); }

class KillSwitchSettings : public ::testing::Test {
protected:
    KillSwitchSettings() {
        runtime->killSwitchChannel = service.channel();
        runtime->executablePath = platform::utf8ToPathText("/opt/varnel/varnel");
    }
    void setTunnel(std::string status, std::string addresses) {
        std::lock_guard guard(runtime->tunnel.lock);
        runtime->tunnel.state.status = std::move(status);
        runtime->tunnel.state.serverProtocol = "udp";
        runtime->tunnel.state.serverPort = 1194;
        runtime->tunnel.state.serverAddress = std::move(addresses);
    }
    // Resolves with {"enabled": value} and never rejects.
    void set(const std::string& method, bool value) {
        const test::Settlement answer = host.callAndWait(method, enabledArg(value));
        EXPECT_TRUE(answer.resolved);
        EXPECT_EQ(answer.value, enabledAnswer(value));
    }

    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::IsolatedRuntime> runtime = test::makeIsolatedRuntime();
    test::TestHost host{runtime};
};

TEST_F(KillSwitchSettings, StartOffAndIpv6BlockingOn) {
    EXPECT_FALSE(runtime->tunnel.killSwitchEnabled.load());
    EXPECT_TRUE(runtime->tunnel.blockIpv6Enabled.load());
}

TEST_F(KillSwitchSettings, TurningOffSendsDisableEvenWhenNoTunnelEverRan) {
    set("setKillSwitchEnabled", false);
    EXPECT_FALSE(runtime->tunnel.killSwitchEnabled.load());
    EXPECT_EQ(service.received(), Lines{"DISABLE\n"});
}

TEST_F(KillSwitchSettings, AServiceThatNeverAnswersDoesNotHoldTheSettingOrTheCallsAfterIt) {
    service.setMute(true);
    set("setKillSwitchEnabled", false);
    service.setMute(false);
    set("setKillSwitchEnabled", false);
    EXPECT_EQ(service.received(), (Lines{"DISABLE\n", "DISABLE\n"}));
}

TEST_F(KillSwitchSettings, TurningOnSendsEnableOnlyWhileConnectedToAKnownServer) {
    struct Case {
        const char* status;
        const char* addresses;
        Lines sent;
    };
    const Case cases[] = {
        {"disconnected", "192.0.2.1", {}},
        {"connecting", "192.0.2.1", {}},
        {"connected", "", {}},
        {"connected", "192.0.2.1", {"ENABLE udp 1194 1 192.0.2.1 /opt/varnel/varnel\n"}},
    };
    std::size_t before = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.status) + " [" + c.addresses + "]");
        setTunnel(c.status, c.addresses);
        set("setKillSwitchEnabled", true);
        EXPECT_TRUE(runtime->tunnel.killSwitchEnabled.load());
        const Lines received = service.received();
        EXPECT_EQ(Lines(received.begin() + static_cast<std::ptrdiff_t>(before), received.end()), c.sent);
        before = received.size();
    }
}

TEST_F(KillSwitchSettings, Ipv6SettingIsStoredAndSendsNothing) {
    setTunnel("connected", "192.0.2.1");
    set("setBlockIpv6Enabled", false);
    EXPECT_FALSE(runtime->tunnel.blockIpv6Enabled.load());
    set("setBlockIpv6Enabled", true);
    EXPECT_TRUE(runtime->tunnel.blockIpv6Enabled.load());
    EXPECT_TRUE(service.received().empty());
}

TEST(KillSwitchSettingsWithoutService, ResolveAllTheSame) {
    auto runtime = test::makeIsolatedRuntime();
    runtime->killSwitchChannel = test::absentKillSwitchChannel();
    test::TestHost host(runtime);
    for (const bool value : {true, false}) {
        const test::Settlement answer = host.callAndWait("setKillSwitchEnabled", enabledArg(value));
        EXPECT_TRUE(answer.resolved);
        EXPECT_EQ(answer.value, enabledAnswer(value));
    }
}

}  // namespace
}  // namespace varnel
