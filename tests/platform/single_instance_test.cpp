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
platform::SingleInstanceSpec specFor(const test::TempDir& dir, const std::string& what) {
    platform::SingleInstanceSpec spec;
    static std::atomic<int> counter{0};
    spec.name = "VarnelTest-" + what + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                std::to_string(counter++);
    spec.trayWindowClass = u"VarnelTestNoSuchTrayWindow";
    spec.showAppMessage = 0x0400 + 45;
    spec.mainWindowTitle = u"VarnelTest no such main window";
    spec.folder = dir.path().native();
    return spec;
}

TEST(SingleInstance, TheFirstStartHoldsTheClaimAndLaterStartsAreSecondUntilItGoes) {
    test::TempDir dir;
    const platform::SingleInstanceSpec spec = specFor(dir, "claim");
    platform::InstanceStart first = platform::claimSingleInstance(spec);
    ASSERT_EQ(first.role, platform::InstanceRole::First);
    ASSERT_NE(first.claim, nullptr);
    for (int start = 0; start < 2; ++start) {
        const platform::InstanceStart later = platform::claimSingleInstance(spec);
        EXPECT_EQ(later.role, platform::InstanceRole::Second);
        EXPECT_EQ(later.claim, nullptr);
    }
    first.claim.reset();
    const platform::InstanceStart next = platform::claimSingleInstance(spec);
    EXPECT_EQ(next.role, platform::InstanceRole::First);
    EXPECT_NE(next.claim, nullptr);
}

TEST(SingleInstance, ClaimsOfOtherNamesDoNotMeet) {
    test::TempDir dir;
    const platform::InstanceStart one = platform::claimSingleInstance(specFor(dir, "one"));
    const platform::InstanceStart other = platform::claimSingleInstance(specFor(dir, "other"));
    EXPECT_EQ(one.role, platform::InstanceRole::First);
    EXPECT_EQ(other.role, platform::InstanceRole::First);
}

TEST(SingleInstance, EveryLaterStartAsksTheFirstToShowItsWindowAlsoBeforeItListens) {
    if (!test::claimDeliversShowRequests()) GTEST_SKIP() << "on this build the tray window hears later starts";
    test::TempDir dir;
    const platform::SingleInstanceSpec spec = specFor(dir, "show");
    platform::InstanceStart first = platform::claimSingleInstance(spec);
    ASSERT_NE(first.claim, nullptr);
    EXPECT_EQ(platform::claimSingleInstance(spec).role, platform::InstanceRole::Second);
    std::atomic<int> shown{0};
    first.claim->deliverShowRequests([&] { ++shown; });
    EXPECT_TRUE(test::waitUntil([&] { return shown == 1; }));
    EXPECT_EQ(platform::claimSingleInstance(spec).role, platform::InstanceRole::Second);
    EXPECT_TRUE(test::waitUntil([&] { return shown == 2; }));
}

}  // namespace
}  // namespace varnel
