#include "app/desktop_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <thread>

#include "app/desktop_options.h"
#include "app/desktop_page_host.h"
#include "app/desktop_session.h"
#include "app/desktop_tray_shell.h"
#include "module/modules.h"
#include "platform/text.h"
#include "support/fake_desktop_window.h"
#include "support/method_names.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

using platform::PathText;
using test::FakeDesktopWindow;

PathText pathText(const std::string& utf8) { return platform::utf8ToPathText(utf8); }

TEST(DesktopOptions, TakeTheInterfaceAndAutomationAndRefuseAnythingElse) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "page"}, {{"--automation", "--interface=stdio"}, "stdio automation"}, {{"--interface=stdio", "--interface=page"}, "page"},
        {{"--interface"}, "Unknown argument: --interface."}, {{"--interface=window"}, "Unknown argument: --interface=window."},
        {{"host"}, "Unknown argument: host."}, {{"--automation=yes"}, "Unknown argument: --automation=yes."},
    };
    for (const auto& [args, expected] : cases) {
        const DesktopOptionsParse parsed = parseDesktopOptions(args);
        const auto shown = [](const DesktopOptions& o) {
            return (o.interface == DesktopOptions::Interface::Stdio ? "stdio" : "page") + std::string(o.automation ? " automation" : "");
        };
        EXPECT_EQ(parsed.options ? shown(*parsed.options) : parsed.error, expected);
    }
}

TEST(DesktopPage, TheBundleLiesInTheBundleFolderBesideTheExecutable) {
    const std::string sep = platform::pathTextToUtf8(PathText(1, platform::kPathSeparator));
    std::vector<std::array<std::string, 3>> cases = {  // executable, its folder, the bundle root
        {sep + "opt" + sep + "varnel" + sep + "varnel-vpn", sep + "opt" + sep + "varnel",
         "file://" + sep + "opt" + sep + "varnel" + sep + "Bundle" + sep},
        {sep + "varnel-vpn", "", "file://" + sep + sep + "Bundle" + sep},  // the root keeps its own separator
    };
    if (sep == "\\") cases.push_back({"C:\\VarnelVPN.exe", "C:", "file://C:\\\\Bundle\\"});
    for (const auto& [executable, folder, root] : cases) {
        const BundleLocation bundle = bundleBeside(pathText(executable));
        EXPECT_EQ(bundle.file, pathText(folder + sep + "Bundle" + sep + "index.windows.bundle")) << executable;
        EXPECT_EQ(bundle.baseUri, fileUri(folder + sep + "Bundle") + "/") << executable;
        EXPECT_EQ(bundle.root, pathText(root)) << executable;
    }
    EXPECT_EQ(fileUri("/home/a b/x#1/50%/q?/\xC3\xBC/A-Z_a.z~0"), "file:///home/a%20b/x%231/50%25/q%3F/%C3%BC/A-Z_a.z~0");
}

TEST(DesktopPage, RunsTheHostScriptWithTheModulesThenTheBundleThenTheStart) {
    ModuleRegistry registry;
    addVarnelModules(registry, test::makeTestRuntime());
    std::string methods;
    for (const std::string& name : test::kVarnelTunnelMethods) methods += (methods.empty() ? "\"" : ",\"") + name + "\"";
    EXPECT_EQ(describeModules(registry),
              R"({"VarnelTunnel":{"methods":[)" + methods + R"(],"constants":{}},"VarnelBuildConfig":{"methods":["getConstants"],)" +
                  R"("constants":{"apiBaseUrl":"https://api.varnel.example/api/v1","includeVpnAuthDeviceMetadata":false}}})");

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
    const std::string head =
        "VarnelVPN could not start its interface.\n\nBundle file: " + platform::pathTextForMessage(bundle.file) + "\nProblem: ";
    EXPECT_EQ(bundleFailureText(bundle.file, "It stopped."), head + "It stopped.\n");
    EXPECT_EQ(bundleProblem(app.path().native()), "It is a folder, not a file");
    const std::pair<const char*, std::string> cases[] = {
        {"", head + *bundleProblem(bundle.file) + ".\n"},  // no bundle file: the system's reason
        {R"({"failed":"The file could not be loaded."})", head + "The file could not be loaded.\n"},
        {R"({"failed":7})", head + "The interface did not say why.\n"},
    };
    for (const auto& [report, text] : cases) {
        auto shownIn = std::make_shared<FakeDesktopWindow>();
        auto started = test::makeTestRuntime();
        DesktopPageHost failing(started, shownIn, bundle, [] {});
        failing.start();
        if (*report != '\0') failing.pageMessage(kHostChannel, report);
        EXPECT_EQ(shownIn->calls().back(), "text " + text);
        EXPECT_TRUE(test::waitUntil([&] { return started->tray.core()->trayThreadStarted.load(); }));
        writeBundle();  // for the cases after the first
        EXPECT_EQ(bundleProblem(bundle.file), std::nullopt);
    }
}

TEST(InterfaceThread, RunsTasksInPostingOrderOnOneThreadOfItsOwnAndFinishesThemWhenItEnds) {
    std::vector<std::pair<int, std::thread::id>> ran;
    {
        InterfaceThread thread;
        for (int i = 0; i < 50; ++i) thread.post([&, i] { ran.emplace_back(i, std::this_thread::get_id()); });
    }
    ASSERT_EQ(ran.size(), 50u);
    EXPECT_NE(ran[0].second, std::this_thread::get_id());
    for (int i = 0; i < 50; ++i) EXPECT_EQ(ran[i], std::pair(i, ran[0].second));
}

// The window is ours: shown from its own thread, never looked for by title.
TEST(DesktopTrayShell, ShowsOurWindowThroughItsThreadAndHandsEverythingElseToTheSystemShell) {
    auto system = std::make_shared<test::FakeTrayShell>();
    auto window = std::make_shared<FakeDesktopWindow>();
    const std::shared_ptr<platform::TrayShell> shell = desktopTrayShell(system, window);
    EXPECT_TRUE(shell->showMainWindow(u"VarnelVPN"));
    EXPECT_TRUE(window->calls().empty());
    window->runPosted();
    EXPECT_EQ(window->calls(), std::vector<std::string>{"present"});
    shell->showBalloon(u"title", u"text");
    shell->exitProcess(3);
    EXPECT_EQ(system->calls(), (std::vector<std::string>{"balloon title | text", "exit 3"}));
}

// The menu the interface last sent, and the balloon a close then prepares (none when empty). Without a
// web view the session names the bundle and starts the modules at once, so the tray runs.
using CloseCase = std::tuple<std::string, std::u16string, std::u16string>;
class DesktopSessionClose : public testing::TestWithParam<CloseCase> {};

TEST_P(DesktopSessionClose, HidesTheWindowAndPreparesTheNoticeForTheTray) {
    const auto& [menu, title, text] = GetParam();
    test::TestRuntimeParts parts;
    DesktopSession session({}, DesktopSession::Clock::now());
    const platform::DesktopWindowEvents events = session.windowEvents();
    auto window = std::make_shared<FakeDesktopWindow>();
    window->webView = false;
    session.start(window, test::testServices(parts));
    const BundleLocation bundle = bundleBeside(session.runtime()->services.executablePath);
    EXPECT_EQ(window->calls(), std::vector<std::string>{"text " + noWebViewText(bundle)});
    ASSERT_TRUE(test::waitUntil([&] { return parts.trayShell->sync(); }));  // once the tray has its window

    session.runtime()->tray.updateMenuBarMenu(menu);
    events.closeRequested();
    ASSERT_TRUE(parts.trayShell->sync());
    EXPECT_EQ(window->calls().back(), "hide");
    std::vector<std::string> balloons = parts.trayShell->calls();
    std::erase_if(balloons, [](const std::string& call) { return !call.starts_with("balloon "); });
    const std::string balloon = "balloon " + platform::wideToUtf8(title) + " | " + platform::wideToUtf8(text);
    EXPECT_EQ(balloons, title.empty() ? std::vector<std::string>{} : std::vector{balloon});
    tray::TrayCore& core = *session.runtime()->tray.core();
    std::lock_guard lock(core.trayMutex);
    EXPECT_EQ(core.state.balloonTitle + u"/" + core.state.balloonText, title + u"/" + text);
}

INSTANTIATE_TEST_SUITE_P(TrayStates, DesktopSessionClose,
                         testing::Values(CloseCase{R"({"connected":true,"serverLabel":"Frankfurt 2"})", u"Varnel VPN is still connected",
                                                   u"Protected via Frankfurt 2."},
                                         CloseCase{R"({"connected":true})", u"Varnel VPN is still connected",
                                                   u"Your VPN tunnel remains active in the background."},
                                         CloseCase{R"({"connected":false,"serverLabel":"Frankfurt 2"})", u"", u""}));

}  // namespace
}  // namespace varnel
