#include <gtest/gtest.h>

#include <atomic>

#include "platform/single_instance.h"
#include "platform/unique_resource.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace varnel::platform {
namespace {

// A name of its own, so that no test meets a running application or another test's claim.
SingleInstanceSetup setupIn(const test::TempDir& dir) {
    SingleInstanceSetup setup;
    setup.name = "VarnelTest-claim-" + dir.path().filename().string();
    setup.trayWindowClass = u"VarnelTestNoSuchTrayWindow";
    setup.showAppMessage = 0x0400 + 45;
    setup.mainWindowTitle = u"VarnelTest no such main window";
    setup.folder = dir.path().native();
    return setup;
}

// Later starts are second until the claim goes, and each asks the first (on Windows its tray window) to show, even before it listens.
TEST(SingleInstance, TheFirstStartHoldsTheClaimAndLaterStartsAskItToShowItsWindow) {
    test::TempDir dir;
    const SingleInstanceSetup setup = setupIn(dir);
    InstanceStart first = claimSingleInstance(setup);
    const auto claimed = [](const InstanceStart& start) { return start.role == InstanceRole::First && start.claim != nullptr; };
    const auto second = [](const InstanceStart& start) { return start.role == InstanceRole::Second && start.claim == nullptr; };
    ASSERT_TRUE(claimed(first));
    [[maybe_unused]] std::atomic<int> shown{0};
    for (int start = 1; start <= 2; ++start) {
        EXPECT_TRUE(second(claimSingleInstance(setup)));
#ifndef _WIN32
        if (start == 1) first.claim->deliverShowRequests([&] { ++shown; });
        EXPECT_TRUE(test::waitUntil([&] { return shown == start; }));
#endif
    }
    first.claim.reset();
    EXPECT_TRUE(claimed(claimSingleInstance(setup)));
}

// A resource whose none is all ones, as on Windows, and that records what it closes.
std::vector<int> closed;
struct RecordingTraits {
    using Native = int;
    static constexpr int none() { return -1; }
    static void close(int native) { closed.push_back(native); }
};
using Owner = UniqueResource<RecordingTraits>;

TEST(UniqueResource, ClosesEachResourceExactlyOnceAndNeverNone) {
    closed.clear();
    {
        Owner none, zero(0), a(7), c(8), d(9);  // zero is a resource like any other
        Owner b(std::move(a));
        EXPECT_FALSE(a.valid());
        c = std::move(b);  // closes 8, takes 7
        Owner& same = c;
        c = std::move(same);  // moving into itself keeps the resource open
        EXPECT_EQ(c.get(), 7);
        EXPECT_EQ(d.release(), 9);  // the caller's now
        EXPECT_FALSE(d.valid());
        none.reset(10);
        none.reset();
        EXPECT_EQ(closed, (std::vector<int>{8, 10}));
    }
    EXPECT_EQ(closed, (std::vector<int>{8, 10, 7, 0}));
}

}  // namespace
}  // namespace varnel::platform
