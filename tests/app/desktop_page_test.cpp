#include "app/desktop_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/desktop_page_host.h"
#include "app/desktop_session.h"
#include "platform/text.h"
#include "support/fake_desktop_window.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

using platform::PathText;
using test::FakeDesktopWindow;

PathText pathText(const std::string& utf8) { return platform::utf8ToPathText(utf8); }

TEST(DesktopPage, TheBundleLiesInTheBundleFolderBesideTheExecutable) {
    const std::string sep = platform::pathTextToUtf8(PathText(1, platform::kPathSeparator)), folder = sep + "opt" + sep + "varnel";
    const BundleLocation bundle = bundleBeside(pathText(folder + sep + "varnel-vpn"));
    EXPECT_EQ(bundle.file, pathText(folder + sep + "Bundle" + sep + "index.windows.bundle"));
    EXPECT_EQ(bundle.baseUri, fileUri(folder + sep + "Bundle") + "/");
    EXPECT_EQ(bundle.root, pathText("file://" + folder + sep + "Bundle" + sep));
    EXPECT_EQ(fileUri("/home/a b/x#1/50%/q?/\xC3\xBC/A-Z_a.z~0"), "file:///home/a%20b/x%231/50%25/q%3F/%C3%BC/A-Z_a.z~0");
}

TEST(DesktopPage, RunsTheHostScriptWithTheModulesThenTheBundleThenTheStart) {
    // No constant can close the script it is in: the page has three script ends, all its own.
    const std::string page = desktopPageHtml(R"({"M":{"methods":[],"constants":{"text":"</script><script>alert(1)</script>"}}})");
    std::vector<std::size_t> at;
    for (const char* part : {"<title>VarnelVPN</title>", "<div id=\"root\"></div>",
                             R"(modules: {"M":{"methods":[],"constants":{"text":"\u003c/script>\u003cscript>alert(1)\u003c/script>"}}})",
                             "runApplication(\"VarnelMac\"", "window, \"__varnelHost\"", "</script>",
                             "<script src=\"index.windows.bundle\"></script>", "<script>window.__varnelHost._start();</script>"})
        at.push_back(page.find(part, at.empty() ? 0 : at.back()));
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && at.back() != std::string::npos) << testing::PrintToString(at);
    std::size_t closings = 0;
    for (std::size_t i = page.find("</script>"); i != std::string::npos; i = page.find("</script>", i + 1)) ++closings;
    EXPECT_EQ(closings, 3u);
}

std::string received(const std::string& line) { return "script window.__varnelHost._receive(" + line + ");"; }

class DesktopPageHostTest : public ::testing::Test {
protected:
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime();
    std::shared_ptr<FakeDesktopWindow> window = std::make_shared<FakeDesktopWindow>();
    test::TempDir app;
    BundleLocation bundle{(app.path() / "index.windows.bundle").native(), "file:///app/Bundle/"};
    int firstFrames = 0;
    DesktopPageHost host{runtime, window, bundle, [this] { ++firstFrames; }};

    void writeBundle() { std::ofstream(app.path() / "index.windows.bundle") << "/* bundle */"; }
};

TEST_F(DesktopPageHostTest, ShowsThePageAndReportsItsFirstFrameOnly) {
    writeBundle();
    host.start();
    for (const char* text : {R"({"firstFrame":true})", R"({"somethingElse":1})", R"(["failed"])", "not json"})
        host.pageMessage(kHostChannel, text);
    host.pageMessage("otherChannel", R"({"id":1,"method":"getStatus"})");
    EXPECT_EQ(firstFrames, 1);
    window->runPosted();
    const auto calls = window->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].rfind("page file:///app/Bundle/\n", 0), 0u);
    EXPECT_NE(calls[0].find(R"("VarnelTunnel":{"methods":["pingHelper",)"), std::string::npos);
}

// Requests run in arrival order on the interface thread; answers and events reach the page through
// the window thread in the order the host wrote them, events only once the module has been used.
TEST_F(DesktopPageHostTest, AnswersAndEventsReachThePageInOrder) {
    writeBundle();
    host.start();
    runtime->events->EmitAppWindowDidShow();
    for (const char* request : {R"({"id":1,"method":"writeUserDefaults","args":["k","first"]})",
                                R"({"id":2,"method":"readUserDefaults","args":["k"]})",
                                R"({"id":3,"module":"VarnelBuildConfig","method":"nope"})", "[1,2]"})
        host.pageMessage(kRequestChannel, request);
    const auto scripts = [&](std::size_t count) {
        EXPECT_TRUE(test::waitUntil([&] {
            window->runPosted();
            return window->calls().size() > count;
        }));
        const std::vector<std::string> calls = window->calls();
        return std::vector<std::string>(calls.begin() + 1, calls.end());  // after the page
    };
    scripts(4);
    runtime->events->EmitAppWindowDidShow();
    EXPECT_EQ(scripts(5), (std::vector<std::string>{received(R"({"id":1,"result":null})"), received(R"({"id":2,"result":"first"})"),
                                                    received(R"({"id":3,"hostError":"Unknown method: VarnelBuildConfig.nope."})"),
                                                    received(R"({"id":null,"hostError":"The request is not a JSON object."})"),
                                                    received(R"({"event":"appWindowDidShow","args":[]})")}));
}

// The text names the bundle file and says what is wrong as a sentence; the tray still starts.
TEST_F(DesktopPageHostTest, AFailureShowsItsTextAndStillStartsTheModuleForTheTray) {
    EXPECT_EQ(bundleProblem(app.path().native()), "It is a folder, not a file");
    host.start();
    EXPECT_EQ(window->calls().back(), "text VarnelVPN could not start its interface.\n\nBundle file: " + platform::pathTextForMessage(bundle.file) +
                                          "\nProblem: " + *bundleProblem(bundle.file) + ".\n");
    EXPECT_TRUE(test::waitUntil([&] { return runtime->tray.core()->trayThreadStarted.load(); }));
    writeBundle();
    EXPECT_EQ(bundleProblem(bundle.file), std::nullopt);
}

// A close hides the window and prepares the tray's notice. Without a web view the session names the
// bundle and starts the modules at once, so the tray runs.
TEST(DesktopSession, ACloseHidesTheWindowAndPreparesTheNoticeForTheTray) {
    test::TestRuntimeParts parts;
    DesktopSession session({}, DesktopSession::Clock::now());
    const platform::DesktopWindowEvents events = session.windowEvents();
    auto window = std::make_shared<FakeDesktopWindow>();
    window->webView = false;
    session.start(window, test::testServices(parts));
    const BundleLocation bundle = bundleBeside(session.runtime()->services.executablePath);
    EXPECT_EQ(window->calls(), std::vector<std::string>{"text " + noWebViewText(bundle)});
    ASSERT_TRUE(test::waitUntil([&] { return parts.trayShell->sync(); }));  // once the tray has its window

    session.runtime()->tray.updateMenuBarMenu(R"({"connected":true,"serverLabel":"Frankfurt 2"})");
    events.closeRequested();
    ASSERT_TRUE(parts.trayShell->sync());
    EXPECT_EQ(window->calls().back(), "hide");
    EXPECT_EQ(parts.trayShell->calls().back(), "balloon Varnel VPN is still connected | Protected via Frankfurt 2.");
}

}  // namespace
}  // namespace varnel
