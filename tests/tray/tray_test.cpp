// The tray through the module on the real tray thread with the recording shell, and the shells.

#include "tray/tray.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/environment.h"
#include "support/tray_fixture.h"

namespace varnel::tray {
namespace {

struct TrayFixture {
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime();
    test::FakeTrayShell& shell = *runtime->trayShell;
    test::TestHost host{runtime};

    // Waits until the tray thread's window exists and everything posted so far has been handled.
    bool settled() { return test::waitUntil([this] { return shell.sync(); }); }

    // One step of a scenario, then waits for the tray to deal with it. A module method: "initialize", "hide", "show",
    // "menu JSON", "notify", "activate"; what the shell answers from now on: "refuse icons", "no main window"; a message
    // from the system: "restart" (of the shell), "balloon" (arriving on its own), "show app" (from a second start),
    // "icon N" (the notification N about the icon), "click LABEL" (the menu opened and LABEL chosen).
    void step(const std::string& what) {
        if (what == "refuse icons") shell.acceptsIcon = false;
        if (what == "no main window") shell.hasMainWindow = false;
        if (what == "refuse icons" || what.starts_with("no ")) return;
        // The first hide races a second one to start the tray thread: one thread, hidden either way.
        std::jthread racer;
        if (what == "hide" && !runtime->tray.core()->trayThreadStarted) racer = std::jthread([this] { runtime->tray.setMenuBarVisible(false); });
        bridge::JSValue answer(true);
        const std::string rest = what.substr(what.find(' ') + 1);
        if (what == "initialize") host.initialize();
        if (what == "hide" || what == "show") answer = host.callAndWait("setMenuBarVisible", test::args({what == "show"})).value;
        if (what.starts_with("menu ")) answer = host.callAndWait("updateMenuBarMenu", test::args({rest})).value;
        if (what == "notify") answer = host.callAndWait("notifyVpnConnectedOnHide").value;
        if (what == "activate") answer = host.callAndWait("activateApp").value;
        if (what == "restart") shell.post(test::FakeTrayShell::kRestartMessage, 0, 0);
        if (what == "balloon") shell.post(kWmTrayBalloon, 0, 0);
        if (what == "show app") shell.post(kWmTrayShowApp, 0, 0);
        if (what.starts_with("icon ")) shell.post(kWmTrayCallback, 0, std::stoi(rest, nullptr, 0));
        if (what.starts_with("click ")) shell.menuChoice = platform::utf8ToWide(rest);
        if (what.starts_with("click ")) shell.post(kWmTrayCallback, 0, kWmRButtonUp);
        EXPECT_EQ(answer, bridge::JSValue(what != "hide")) << what;
        EXPECT_TRUE(settled()) << what;
    }
};

TEST(Tray, ActsOnTheInterfaceTheShellAndTheUser) {
    const std::string zurich = "menu {\"connected\":true,\"serverLabel\":\"Z\xC3\xBCrich 2\"}";
    const std::string servers = R"(menu {"connected":false,"dedicated":[{"id":"s1","label":"Paris"},{"id":"s2"}]})";
    const std::string label(300, 'L'), added = "add Varnel VPN - Disconnected", disconnected = "modify Varnel VPN - Disconnected";
    const std::string connected = "Varnel VPN - Connected (Z\xC3\xBCrich 2)", longTip = "Varnel VPN - Connected (" + label.substr(0, 103);
    const std::string notice = "balloon Varnel VPN is still connected | ", window = "showMainWindow VarnelVPN", opened = "menu Not connected";
    const struct {
        const char* what;
        std::vector<std::string> steps, log;  // the log: the shell's calls, then the events
    } scenarios[] = {
        {"the tooltip follows each description; hiding deletes the icon, showing adds it with the current tooltip",
         {"initialize", zurich, "menu }{ not json", "hide", zurich, "show"}, {added, "modify " + connected, disconnected, "delete", "add " + connected}},
        {"hidden before the thread ran (by two callers at once), no icon until shown; a shell restart adds it again", {"hide", "initialize", "show", "restart"}, {added, added}},
        {"a refused icon is added again at the next refresh, without a notice", {"refuse icons", "initialize", zurich, "notify"},
         {added, "add " + connected, "add " + connected}},
        {"no notice for a hidden icon, nor when it comes back; shown, the notice comes once; disconnected, it is cleared",
         {"initialize", zurich, "hide", "notify", "show", "notify", "show", R"(menu {"connected":false})", "notify", "balloon"},
         {added, "modify " + connected, "delete", "add " + connected, "modify " + connected, notice + "Protected via Z\xC3\xBCrich 2.",
          "modify " + connected, disconnected, disconnected}},
        {"a notice without a server name; a long one is cut to 127 units in the tooltip, 255 in the notice",
         {"initialize", R"(menu {"connected":true})", "notify", R"(menu {"connected":true,"serverLabel":")" + label + "\"}", "notify"},
         {added, "modify Varnel VPN - Connected", "modify Varnel VPN - Connected", notice + "Your VPN tunnel remains active in the background.",
          "modify " + longTip, "modify " + longTip, notice + ("Protected via " + label).substr(0, 255)}},
        // Each choice in the menu against the list that was shown: greyed items cannot be chosen, and
        // exit ends the process at once, without an event.
        {"choices while connected, then while disconnected",
         {"initialize", R"(menu {"connected":true,"serverLabel":"A","dedicated":[{"id":"s1","label":"Paris"}]})", "click Connected: A", "click Quick Connect",
          "click Paris", "click Disconnect", servers, "click Quick Connect", "click Paris", "click s2", "click Not connected", "click Open Varnel VPN",
          "click Exit Varnel VPN"},
         {added, "modify Varnel VPN - Connected (A)", "menu Connected: A", "menu Connected: A", "menu Connected: A", "menu Connected: A", disconnected,
          opened, opened, opened, opened, opened, window, opened, "delete", "exit 0", "menuBarAction action=disconnect", "menuBarAction action=quickConnect",
          "menuBarAction action=connectDedicated serverId=s1", "menuBarAction action=connectDedicated serverId=s2", "menuBarAction action=openApp",
          "appWindowDidShow"}},
        {"the scan of a description, as ever: no escapes, the first key wins even nested, the first ']' ends the servers",
         {"initialize", R"(menu {"connected":true,"x":{"serverLabel":"a\"b"},"serverLabel":"c","dedicated":[{"id":"a","label":"x]y"},{"id":"b"}]})", "click b"},
         {added, R"(modify Varnel VPN - Connected (a\))", R"(menu Connected: a\)"}},
        // The main window comes on a double click, a click on the notice, a second start and
        // activateApp; the interface is told when there was one. The other clicks open the menu.
        {"the main window", {"initialize", "icon 0x200", "icon 0x203", "icon 0x405", "show app", "icon 0x7B", "icon 0x202", "activate",
                             "no main window", "activate", "icon 0x203"},
         {added, window, window, window, opened, opened, window, window, window, "appWindowDidShow", "appWindowDidShow", "appWindowDidShow",
          "appWindowDidShow"}},
    };
    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.what);
        TrayFixture f;
        for (const std::string& step : s.steps) f.step(step);
        std::vector<std::string> log = f.shell.calls(), events = test::trayEventLog(f.host);
        log.insert(log.end(), events.begin(), events.end());
        EXPECT_EQ(log, s.log);
        EXPECT_EQ(f.shell.windowsCreated(), 1);
    }
}

// What the tray relies on of a shell, the recording one as the build's: a registered restart message,
// posts (a menu command as a panel's click comes, too) in order, and a loop that ends with the destroy
// message, also one told to end before it started.
class TrayShellContract : public testing::TestWithParam<std::shared_ptr<platform::TrayShell> (*)()> {};

TEST_P(TrayShellContract, PostsArriveInOrderAndTheLoopEndsWithTheDestroyMessage) {
    if (const std::string reason = test::desktopMissingReason(); !reason.empty() && GetParam() == &platform::systemTrayShell) GTEST_SKIP() << reason;
    const std::shared_ptr<platform::TrayShell> shell = GetParam()(), early = GetParam()();
    EXPECT_FALSE(shell->post(kWmUser));  // no window yet
    EXPECT_EQ(test::runTrayWindow(*shell, [&] { shell->post(kWmUser + 1, 7, 8); shell->post(kWmCommand, kIdExit, 0); shell->post(kWmUser); }),
              (std::vector<std::string>{"1025 7 8", "273 2004 0", "1024 0 0", "2 0 0"}));
    EXPECT_GE(shell->shellRestartMessage(), 0xC000u);  // registered with the window, apart from the tray's own
    EXPECT_EQ(shell->nativeWindow(), 0u);
    EXPECT_FALSE(shell->post(kWmUser));
    EXPECT_EQ(test::runTrayWindow(*early, [&] { early->quit(); }), std::vector<std::string>{"2 0 0"});
}

INSTANTIATE_TEST_SUITE_P(Shells, TrayShellContract,
                         testing::Values(+[] { return std::shared_ptr<platform::TrayShell>(std::make_shared<test::FakeTrayShell>()); }, &platform::systemTrayShell),
                         [](const auto& shell) { return shell.index == 0 ? "Recording" : "System"; });

}  // namespace
}  // namespace varnel::tray
