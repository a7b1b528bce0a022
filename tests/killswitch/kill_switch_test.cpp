#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "killswitch/kill_switch.h"
#include "killswitch/rules.h"
#include "platform/files.h"
#include "support/killswitch_service_double.h"
#include "support/temp_dir.h"
#include "support/test_host.h"
#include "support/test_runtime.h"

namespace varnel {
namespace {

using killswitch::composeEnableCommand;
using killswitch::KillSwitch;
using Lines = std::vector<std::string>;

// A program path with spaces and a non-ASCII letter, as an installation folder may have.
const std::string kProgram = "/opt/Varnel VPN/b\xC3\xA4se/varnel app";

class KillSwitchTest : public ::testing::Test {
protected:
    KillSwitch& make(const std::string& channel) {
        killSwitch = std::make_unique<KillSwitch>(channel, platform::utf8ToPathText(kProgram), (temp.path() / "killswitch.txt").native());
        return *killSwitch;
    }
    KillSwitch& withServer(const char* protocol, std::int32_t port, const char* address) {
        KillSwitch& k = make(service.channel());
        k.setServerProtocolAndPort(protocol, port);
        if (*address) k.recordServerAddresses(address, protocol, port);
        return k;
    }

    test::TempDir temp;
    test::KillSwitchServiceDouble service;
    std::unique_ptr<KillSwitch> killSwitch;
};

TEST_F(KillSwitchTest, StartsOffWithIpv6BlockingOn) {
    KillSwitch& k = make(service.channel());
    EXPECT_FALSE(k.enabled());
    EXPECT_TRUE(k.blockIpv6());
}

TEST_F(KillSwitchTest, EnableCarriesTheServerAndTheProgramPathByteForByte) {
    KillSwitch& k = withServer("tcp", 443, "192.0.2.7");
    k.apply(true);
    k.apply(false);
    EXPECT_EQ(service.received(), (Lines{"ENABLE tcp 443 1 192.0.2.7 " + kProgram + "\n", "ENABLE tcp 443 0 192.0.2.7 " + kProgram + "\n"}));
}

TEST_F(KillSwitchTest, WithoutAnAddressOnlyTheEndOfASessionIsSent) {
    KillSwitch& k = withServer("", 0, "");
    k.apply(true);
    EXPECT_TRUE(service.received().empty());
    k.apply(false);
    EXPECT_EQ(service.received(), Lines{"ENABLE any 0 0 none " + kProgram + "\n"});
}

TEST_F(KillSwitchTest, TurningOffSendsDisableAndTurningOnSendsEnableOnlyWhileConnected) {
    KillSwitch& k = withServer("udp", 1194, "192.0.2.1");
    EXPECT_EQ(k.setEnabled(false, [] { return true; }), (JSValueObject{{"enabled", JSValue(false)}}));
    EXPECT_EQ(k.setEnabled(true, [] { return false; }), (JSValueObject{{"enabled", JSValue(true)}}));
    EXPECT_TRUE(k.enabled());
    k.setEnabled(true, [] { return true; });
    EXPECT_EQ(service.received(), (Lines{"DISABLE\n", "ENABLE udp 1194 1 192.0.2.1 " + kProgram + "\n"}));
}

TEST_F(KillSwitchTest, AServiceThatNeverAnswersDoesNotHoldTheSettingOrTheCommandsAfterIt) {
    KillSwitch& k = make(service.channel());
    service.setMute(true);
    EXPECT_EQ(k.setEnabled(false, [] { return false; }), (JSValueObject{{"enabled", JSValue(false)}}));
    service.setMute(false);
    k.setEnabled(false, [] { return false; });
    EXPECT_EQ(service.received(), (Lines{"DISABLE\n", "DISABLE\n"}));
}

TEST_F(KillSwitchTest, Ipv6SettingIsStoredAndSendsNothing) {
    KillSwitch& k = withServer("udp", 1194, "192.0.2.1");
    EXPECT_EQ(k.setBlockIpv6(false), (JSValueObject{{"enabled", JSValue(false)}}));
    EXPECT_FALSE(k.blockIpv6());
    EXPECT_TRUE(service.received().empty());
}

TEST_F(KillSwitchTest, RecordingKeepsTheEarlierAddressWhenNothingResolvesAndRestoresFromTheFile) {
    KillSwitch& k = withServer("tcp", 443, "192.0.2.9");
    k.recordServerAddresses("::1", "udp", 1194);
    EXPECT_EQ(k.server().addresses, "192.0.2.9");
    // Protocol and port are the connect's to store; recording leaves them alone.
    EXPECT_EQ(k.server().protocol, "tcp");

    KillSwitch& restarted = make(service.channel());
    restarted.restoreServerFromRecord();
    EXPECT_EQ(restarted.server().protocol, "tcp");
    EXPECT_EQ(restarted.server().port, 443);
    EXPECT_EQ(restarted.server().addresses, "192.0.2.9");
    restarted.deleteRecord();
    restarted.restoreServerFromRecord();
    EXPECT_EQ(restarted.server().addresses, "");
}

TEST(EnableCommand, FillsEmptyFieldsAndKeepsSignedPorts) {
    struct Case {
        std::string protocol;
        std::int32_t port;
        bool wanted;
        std::string addresses, program, expected;
    };
    const Case cases[] = {
        {"udp", 1194, true, "203.0.113.9", "C:\\Program Files\\Varnel\\varnel.exe", "ENABLE udp 1194 1 203.0.113.9 C:\\Program Files\\Varnel\\varnel.exe"},
        {"", 1194, true, "203.0.113.9", "/p", "ENABLE any 1194 1 203.0.113.9 /p"},
        {"tcp-client", -5, false, "", "/p", "ENABLE tcp-client -5 0 none /p"},
        {"udp", -2147483647 - 1, true, "1.2.3.4", "", "ENABLE udp -2147483648 1 1.2.3.4 "},
    };
    for (const auto& c : cases) EXPECT_EQ(composeEnableCommand(c.protocol, c.port, c.wanted, c.addresses, c.program), c.expected);
}

TEST(KillSwitchSettingsWithoutService, ResolveAllTheSame) {
    test::TestHost host(test::makeTestRuntime());
    for (const char* method : {"setKillSwitchEnabled", "setBlockIpv6Enabled"}) {
        for (const bool value : {true, false}) {
            const test::Settlement answer = host.callAndWait(method, JSValue(JSValueArray{JSValue(value)}));
            EXPECT_TRUE(answer.resolved);
            EXPECT_EQ(answer.value, JSValue(JSValueObject{{"enabled", JSValue(value)}}));
        }
    }
}

}  // namespace
}  // namespace varnel
