#include <gtest/gtest.h>

#include "platform/tray_shell.h"
#include "support/child_process.h"
#include "support/desktop.h"
#include "support/storage_fixture.h"
#include "support/test_programs.h"
#include "support/wait_until.h"
#include "tray/tray_constants.h"
#include "tray/tray.h"

namespace varnel::tray {
namespace {

// A host whose runtime uses the build's real tray shell.
struct SystemTray {
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([](RuntimeServices& s) { s.trayShell = platform::systemTrayShell(); });
    test::TestHost host{runtime};
    platform::TrayShell& shell() { return *runtime->tray.core()->shell; }
    std::uintptr_t window() {
        EXPECT_TRUE(test::waitUntil([this] { return shell().nativeWindow() != 0; }));
        return shell().nativeWindow();
    }
};

#define SKIP_WITHOUT_DESKTOP()                                                          \
    if (const std::string reason = test::desktopMissingReason(); !reason.empty()) GTEST_SKIP() << reason

TEST(SystemTrayShell, WindowQueueDeliversPostsInOrderAndEndsWithDestroy) {
    SKIP_WITHOUT_DESKTOP();
    std::shared_ptr<platform::TrayShell> shell = platform::systemTrayShell();
    std::mutex mutex;
    std::vector<std::uint32_t> seen;
    std::thread tray([&] {
        shell->createWindow({kTrayWindowClass, kWmTrayCallback, kTrayIconResource}, [&](const platform::TrayWindowMessage& m) {
            if (m.message != kWmUser + 100 && m.message != kWmUser + 101 && m.message != kWmDestroy) return false;
            std::lock_guard lock(mutex);
            seen.push_back(m.message);
            return true;
        });
        shell->runMessageLoop();
    });
    ASSERT_TRUE(test::waitUntil([&] { return shell->nativeWindow() != 0; }));
    EXPECT_TRUE(shell->post(kWmUser + 100));
    EXPECT_TRUE(shell->post(kWmUser + 101));
    ASSERT_TRUE(test::waitUntil([&] {
        std::lock_guard lock(mutex);
        return seen.size() == 2;
    }));
    shell->quit();
    tray.join();
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{kWmUser + 100, kWmUser + 101, kWmDestroy}));
    EXPECT_EQ(shell->nativeWindow(), 0u);
    EXPECT_FALSE(shell->post(kWmUser + 100));
}

TEST(SystemTrayShell, QuitBeforeTheLoopStartsStillEndsIt) {
    SKIP_WITHOUT_DESKTOP();
    std::shared_ptr<platform::TrayShell> shell = platform::systemTrayShell();
    std::thread tray([&] {
        shell->createWindow({kTrayWindowClass, kWmTrayCallback, kTrayIconResource}, [](const auto&) { return false; });
        shell->quit();
        shell->runMessageLoop();
    });
    tray.join();
    EXPECT_EQ(shell->nativeWindow(), 0u);
}

TEST(SystemTray, IconFollowsVisibilityAndComesBackAfterAShellRestart) {
    SKIP_WITHOUT_DESKTOP();
    SystemTray t;
    t.host.initialize();
    const std::uintptr_t window = t.window();
    ASSERT_NE(window, 0u);
    const bool shows = test::shellShowsIcons();
    // The headless host's shell refuses the icon: every answer stays as the methods promise.
    EXPECT_EQ(test::waitUntil([&] { return test::shellHasIcon(window); }, std::chrono::seconds(shows ? 20 : 0)), shows);
    EXPECT_EQ(t.host.callAndWait("setMenuBarVisible", test::args({false})).value, JSValue(false));
    EXPECT_TRUE(test::waitUntil([&] { return !test::shellHasIcon(window); }));
    EXPECT_EQ(t.host.callAndWait("updateMenuBarMenu", test::args({R"({"connected":true,"serverLabel":"Frankfurt 2"})"})).value,
              JSValue(true));
    EXPECT_EQ(t.host.callAndWait("setMenuBarVisible", test::args({true})).value, JSValue(true));
    EXPECT_EQ(test::waitUntil([&] { return test::shellHasIcon(window); }, std::chrono::seconds(shows ? 20 : 0)), shows);
    EXPECT_EQ(t.host.callAndWait("notifyVpnConnectedOnHide").value, JSValue(true));

    if (!shows) return;
    test::dropIconFromShell(window);
    ASSERT_FALSE(test::shellHasIcon(window));
    t.shell().post(t.shell().shellRestartMessage());
    EXPECT_TRUE(test::waitUntil([&] { return test::shellHasIcon(window); }));
}

TEST(SystemTray, SecondStartShowsTheMainWindowAndTellsTheInterface) {
    SKIP_WITHOUT_DESKTOP();
    SystemTray t;
    t.host.initialize();
    ASSERT_NE(t.window(), 0u);
    test::StandInWindow main(kMainWindowTitle);
    auto second = test::ChildProcess::start(test::testProgramPath("post_show_app"));
    const int code = second.wait();
    if (!main.valid()) {
        // No window reaches another process's tray here, and there is no main window to show.
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(t.host.events().empty());
        return;
    }
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(test::waitUntil([&] { return main.visible(); }));
    EXPECT_TRUE(test::waitUntil([&] { return !t.host.events().empty(); }));
    EXPECT_EQ(t.host.events().at(0).name, "appWindowDidShow");
}

TEST(SystemTray, ActivateAppShowsTheMainWindowWhereThereIsOne) {
    SKIP_WITHOUT_DESKTOP();
    SystemTray t;
    t.host.initialize();
    EXPECT_EQ(t.host.callAndWait("activateApp").value, JSValue(true));
    EXPECT_TRUE(t.host.events().empty());  // no main window yet
    test::StandInWindow main(kMainWindowTitle);
    EXPECT_EQ(t.host.callAndWait("activateApp").value, JSValue(true));
    EXPECT_EQ(main.visible(), main.valid());
    EXPECT_EQ(t.host.events().size(), main.valid() ? 1u : 0u);
}

TEST(SystemTray, ExitFromTheMenuEndsTheProcessWithZero) {
    SKIP_WITHOUT_DESKTOP();
    auto child = test::ChildProcess::start(test::testProgramPath("tray_exit"));
    std::string line;
    ASSERT_TRUE(child.readLine(line));
    EXPECT_EQ(line.substr(0, 5), "ready");
    EXPECT_EQ(child.wait(), 0);
}

}  // namespace
}  // namespace varnel::tray
