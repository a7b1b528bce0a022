#include "app/desktop_page_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "app/desktop_tray_shell.h"
#include "app/interface_thread.h"
#include "support/fake_desktop_window.h"
#include "support/fake_tray_shell.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"
#include "tray/tray.h"

namespace varnel {
namespace {

using test::FakeDesktopWindow;

std::string received(const std::string& line) { return "window.__varnelHost._receive(" + line + ");"; }

class DesktopPageHostTest : public ::testing::Test {
protected:
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime();
    std::shared_ptr<FakeDesktopWindow> window = std::make_shared<FakeDesktopWindow>();
    test::TempDir app;
    BundleLocation bundle{(app.path() / "index.windows.bundle").native(), "file:///app/Bundle/"};
    int firstFrames = 0;
    DesktopPageHost host{runtime, window, bundle, [this] { ++firstFrames; }};

    void writeBundle() { std::ofstream(app.path() / "index.windows.bundle") << "/* bundle */"; }

    // Runs what the host posts to the window until the page has been sent count scripts.
    std::vector<std::string> scriptsOnceThere(std::size_t count) {
        EXPECT_TRUE(test::waitUntil([&] {
            window->runPosted();
            return window->scripts().size() >= count;
        }));
        return window->scripts();
    }
};

TEST_F(DesktopPageHostTest, AReadableBundleIsShownInThePageWithItsFolderAsBase) {
    writeBundle();
    host.start();
    const auto calls = window->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].what, "page");
    EXPECT_EQ(calls[0].baseUri, "file:///app/Bundle/");
    EXPECT_NE(calls[0].text.find("\"VarnelTunnel\":{\"methods\":[\"pingHelper\","), std::string::npos);
}

TEST_F(DesktopPageHostTest, RequestsAreAnsweredInThePageInArrivalOrderFromAnotherThread) {
    writeBundle();
    host.start();
    host.pageMessage(kRequestChannel, R"({"id":1,"method":"writeUserDefaults","args":["k","first"]})");
    host.pageMessage(kRequestChannel, R"({"id":2,"method":"readUserDefaults","args":["k"]})");
    host.pageMessage(kRequestChannel, R"({"id":3,"module":"VarnelBuildConfig","method":"nope"})");
    host.pageMessage(kRequestChannel, "[1,2]");
    EXPECT_EQ(scriptsOnceThere(4), (std::vector<std::string>{
                                       received(R"({"id":1,"result":null})"),
                                       received(R"({"id":2,"result":"first"})"),
                                       received(R"({"id":3,"hostError":"Unknown method: VarnelBuildConfig.nope."})"),
                                       received(R"({"id":null,"hostError":"The request is not a JSON object."})"),
                                   }));
}

TEST_F(DesktopPageHostTest, EventsReachThePageOnceTheModuleHasBeenUsed) {
    writeBundle();
    host.start();
    runtime->events->EmitAppWindowDidShow();  // nobody has used the module yet: dropped
    host.pageMessage(kRequestChannel, R"({"id":1,"method":"requestNotificationPermission"})");
    scriptsOnceThere(1);
    runtime->events->EmitAppWindowDidShow();
    EXPECT_EQ(scriptsOnceThere(2).back(), received(R"({"event":"appWindowDidShow","args":[]})"));
    EXPECT_EQ(window->scripts().size(), 2u);
}

TEST_F(DesktopPageHostTest, AFailureShowsTheTextAndStillLoadsTheModuleForTheTray) {
    struct Case {
        bool bundlePresent;
        std::string report;
        std::string problem;
    };
    const Case cases[] = {
        {false, "", ""},
        {true, R"({"failed":"The file could not be loaded."})", "The file could not be loaded."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        auto freshWindow = std::make_shared<FakeDesktopWindow>();
        auto freshRuntime = test::makeTestRuntime();
        if (c.bundlePresent) writeBundle();
        DesktopPageHost failing(freshRuntime, freshWindow, bundle, [] {});
        failing.start();
        if (!c.report.empty()) failing.pageMessage(kHostChannel, c.report);
        const auto calls = freshWindow->calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().what, "text");
        EXPECT_NE(calls.back().text.find("Bundle file: " + platform::pathTextForMessage(bundle.file) + "\n"), std::string::npos);
        if (!c.problem.empty()) {
            EXPECT_NE(calls.back().text.find("Problem: " + c.problem + "\n"), std::string::npos);
        }
        EXPECT_TRUE(test::waitUntil([&] { return freshRuntime->tray.core()->trayThreadStarted.load(); }));
    }
}

TEST_F(DesktopPageHostTest, TheFirstFrameIsReportedAndOtherMessagesAreIgnored) {
    writeBundle();
    host.start();
    host.pageMessage(kHostChannel, R"({"firstFrame":true})");
    host.pageMessage(kHostChannel, R"({"somethingElse":1})");
    host.pageMessage("otherChannel", R"({"id":1,"method":"getStatus"})");
    EXPECT_EQ(firstFrames, 1);
    window->runPosted();
    EXPECT_EQ(window->calls().size(), 1u);
}

TEST(InterfaceThread, RunsTasksInPostingOrderOnOneThreadOfItsOwnAndFinishesThemWhenItEnds) {
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    {
        InterfaceThread thread;
        for (int i = 0; i < 50; ++i)
            thread.post([&, i] {
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
    }
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    EXPECT_NE(threads.front(), std::this_thread::get_id());
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads.front()), 50);
}

TEST(DesktopTrayShell, ShowsOurWindowThroughItsThreadAndHandsEverythingElseToTheSystemShell) {
    auto system = std::make_shared<test::FakeTrayShell>();
    auto window = std::make_shared<FakeDesktopWindow>();
    const std::shared_ptr<platform::TrayShell> shell = desktopTrayShell(system, window);

    // The window is ours: shown from its own thread, never looked for by title.
    EXPECT_TRUE(shell->showMainWindow(u"VarnelVPN"));
    EXPECT_TRUE(window->calls().empty());
    window->runPosted();
    EXPECT_EQ(window->calls(), (std::vector<test::WindowCall>{{"present", {}, {}}}));
    EXPECT_TRUE(window->visible());

    shell->showBalloon(u"title", u"text");
    shell->exitProcess(3);
    EXPECT_EQ(system->calls(), (std::vector<std::string>{"balloon title | text", "exit 3"}));
}

}  // namespace
}  // namespace varnel
