#include <gtest/gtest.h>

#include "platform/files.h"

#include <string>
#include <vector>

#include "killswitch/kill_switch.h"
#include "platform/killswitch_channel.h"
#include "support/killswitch_service_double.h"

namespace varnel {
namespace {

using platform::exchangeKillSwitchBytes;
using platform::kKillSwitchOpenAttempts;
using test::KillSwitchServiceDouble;

TEST(KillSwitchChannel, SendsTheCommandWithOneLineFeedAndReturnsTheReply) {
    KillSwitchServiceDouble service("done\n");
    const killswitch::KillSwitch killSwitch(service.channel(), {}, {});

    EXPECT_EQ(killSwitch.transact("DISABLE"), "done\n");
    service.setReply("x");
    EXPECT_EQ(killSwitch.transact("ENABLE tcp 443 1 10.0.0.1 /opt/a b"), "x");
    EXPECT_EQ(service.received(), (std::vector<std::string>{"DISABLE\n", "ENABLE tcp 443 1 10.0.0.1 /opt/a b\n"}));
}

TEST(KillSwitchChannel, ReadsOnceAndAtMost255Bytes) {
    const std::string longest(255, 'r');
    KillSwitchServiceDouble service(longest);
    EXPECT_EQ(exchangeKillSwitchBytes(service.channel(), "DISABLE\n").bytes, longest);
    service.setReply(longest + "overflow");
    EXPECT_EQ(exchangeKillSwitchBytes(service.channel(), "DISABLE\n").bytes, longest);
}

// A service that takes the command and closes without a word, or never answers at all (hung, or not
// the service): the reply is empty, as with an absent service, and the caller is not held.
TEST(KillSwitchChannel, ServiceThatTakesTheCommandButNeverAnswersGivesAnEmptyReply) {
    for (const bool mute : {false, true}) {
        SCOPED_TRACE(mute ? "mute" : "silent");
        KillSwitchServiceDouble service;
        if (mute) service.setMute(true);
        else service.setSilent(true);
        const auto reply = exchangeKillSwitchBytes(service.channel(), "DISABLE\n");
        EXPECT_EQ(reply.bytes, "");
        EXPECT_EQ(reply.opens, 1);
        EXPECT_EQ(service.received(), std::vector<std::string>{"DISABLE\n"});
    }
}

TEST(KillSwitchChannel, AbsentServiceIsOneFailedOpenWithoutWaiting) {
    int busy = 0;
    const auto reply = exchangeKillSwitchBytes(test::absentKillSwitchChannel(), "DISABLE\n", [&](int) { ++busy; });
    EXPECT_EQ(reply.bytes, "");
    EXPECT_EQ(reply.opens, 1);
    EXPECT_EQ(busy, 0);

    const killswitch::KillSwitch killSwitch(test::absentKillSwitchChannel(), {}, {});
    EXPECT_EQ(killSwitch.transact("DISABLE"), "");
}

TEST(KillSwitchChannel, BusyServiceIsRetriedWithinTheBoundThenGivenUp) {
    // Under Wine the double's busy pipe (a client of its own holding the only instance) sometimes
    // never settles and the test hangs; until that is understood the busy path is tested on Linux.
    if (platform::kPathSeparator != '/') GTEST_SKIP() << "the busy pipe double can hang under Wine";
    KillSwitchServiceDouble service;
    service.setBusy(true);
    std::vector<int> busyOpens;
    const auto reply = exchangeKillSwitchBytes(service.channel(), "DISABLE\n", [&](int opens) { busyOpens.push_back(opens); });

    EXPECT_EQ(reply.bytes, "");
    EXPECT_GE(reply.opens, 1);
    EXPECT_LE(reply.opens, kKillSwitchOpenAttempts);
    // Every open found it busy (a wait that finds it still busy may end the exchange early), and
    // nothing reached the service.
    std::vector<int> expected;
    for (int i = 1; i <= reply.opens; ++i) expected.push_back(i);
    EXPECT_EQ(busyOpens, expected);
    service.setBusy(false);
    EXPECT_TRUE(service.received().empty());
}

TEST(KillSwitchChannel, ServiceFreedDuringTheWaitGetsTheCommandOnTheNextOpen) {
    // Under Wine the double's busy pipe (a client of its own holding the only instance) sometimes
    // never settles and the test hangs; until that is understood the busy path is tested on Linux.
    if (platform::kPathSeparator != '/') GTEST_SKIP() << "the busy pipe double can hang under Wine";
    KillSwitchServiceDouble service("ok");
    service.setBusy(true);
    const auto reply = exchangeKillSwitchBytes(service.channel(), "DISABLE\n", [&](int opens) {
        if (opens == 1) service.setBusy(false);
    });
    EXPECT_EQ(reply.bytes, "ok");
    EXPECT_EQ(reply.opens, 2);
    EXPECT_EQ(service.received(), std::vector<std::string>{"DISABLE\n"});
}

}  // namespace
}  // namespace varnel
