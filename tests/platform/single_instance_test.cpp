#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/instance_delivery.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

// Names of their own, so that no test meets a running application or another test's claim.
platform::SingleInstanceSetup setupFor(const test::TempDir& dir, const std::string& what) {
    platform::SingleInstanceSetup setup;
    static std::atomic<int> counter{0};
    setup.name = "VarnelTest-" + what + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                std::to_string(counter++);
    setup.trayWindowClass = u"VarnelTestNoSuchTrayWindow";
    setup.showAppMessage = 0x0400 + 45;
    setup.mainWindowTitle = u"VarnelTest no such main window";
    setup.folder = dir.path().native();
    return setup;
}

TEST(SingleInstance, TheFirstStartHoldsTheClaimAndLaterStartsAreSecondUntilItGoes) {
    test::TempDir dir;
    const platform::SingleInstanceSetup setup = setupFor(dir, "claim");
    platform::InstanceStart first = platform::claimSingleInstance(setup);
    ASSERT_EQ(first.role, platform::InstanceRole::First);
    ASSERT_NE(first.claim, nullptr);
    for (int start = 0; start < 2; ++start) {
        const platform::InstanceStart later = platform::claimSingleInstance(setup);
        EXPECT_EQ(later.role, platform::InstanceRole::Second);
        EXPECT_EQ(later.claim, nullptr);
    }
    first.claim.reset();
    const platform::InstanceStart next = platform::claimSingleInstance(setup);
    EXPECT_EQ(next.role, platform::InstanceRole::First);
    EXPECT_NE(next.claim, nullptr);
}

TEST(SingleInstance, ClaimsOfOtherNamesDoNotMeet) {
    test::TempDir dir;
    const platform::InstanceStart one = platform::claimSingleInstance(setupFor(dir, "one"));
    const platform::InstanceStart other = platform::claimSingleInstance(setupFor(dir, "other"));
    EXPECT_EQ(one.role, platform::InstanceRole::First);
    EXPECT_EQ(other.role, platform::InstanceRole::First);
}

TEST(SingleInstance, EveryLaterStartAsksTheFirstToShowItsWindowAlsoBeforeItListens) {
    if (!test::claimDeliversShowRequests()) GTEST_SKIP() << "on this build the tray window hears later starts";
    test::TempDir dir;
    const platform::SingleInstanceSetup setup = setupFor(dir, "show");
    platform::InstanceStart first = platform::claimSingleInstance(setup);
    ASSERT_NE(first.claim, nullptr);
    EXPECT_EQ(platform::claimSingleInstance(setup).role, platform::InstanceRole::Second);
    std::atomic<int> shown{0};
    first.claim->deliverShowRequests([&] { ++shown; });
    EXPECT_TRUE(test::waitUntil([&] { return shown == 1; }));
    EXPECT_EQ(platform::claimSingleInstance(setup).role, platform::InstanceRole::Second);
    EXPECT_TRUE(test::waitUntil([&] { return shown == 2; }));
}

}  // namespace
}  // namespace varnel
