#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/storage_fixture.h"
#include "support/tray_fixture.h"
#include "tray/tray_constants.h"
#include "tray/tray.h"
#include "tray/tray_thread.h"
#include "tray/tray_thread.h"

namespace varnel::tray {
namespace {

using test::ShellCall;
using test::TrayFixture;

std::vector<std::string> callLog(const std::vector<ShellCall>& calls) {
    std::vector<std::string> log;
    for (const ShellCall& c : calls) {
        std::string line = c.what;
        if (!c.first.empty()) line += " " + std::string(c.first.begin(), c.first.end());
        if (!c.second.empty()) line += " | " + std::string(c.second.begin(), c.second.end());
        if (c.what == "exit") line += " " + std::to_string(c.code);
        log.push_back(line);
    }
    return log;
}

constexpr const char* kFrankfurt = R"({"connected":true,"serverLabel":"Frankfurt 2","dedicated":[]})";
constexpr const char* kTwoServers = R"({"connected":false,"dedicated":[{"id":"s1","label":"Paris"},{"id":"s2"}]})";

TEST(TrayThread, InitializeAddsOneIconShowingDisconnected) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(callLog(f.shell->calls()), std::vector<std::string>{"add Varnel VPN - Disconnected"});
    const platform::TrayWindowClass created = f.shell->lastWindowClass();
    EXPECT_EQ(created.windowClass, u"VarnelTrayWindow");
    EXPECT_EQ(created.callbackMessage, 0x042Au);
    EXPECT_EQ(created.iconResource, 1008);
}

TEST(TrayThread, TooltipFollowsEachMenuDescription) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt})).value, JSValue(true));
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.host.callAndWait("updateMenuBarMenu", test::args({"}{ not json"})).value, JSValue(true));
    ASSERT_TRUE(f.settled());
    const std::vector<std::string> expected{"add Varnel VPN - Disconnected", "modify Varnel VPN - Connected (Frankfurt 2)",
                                            "modify Varnel VPN - Disconnected"};
    EXPECT_EQ(callLog(f.shell->calls()), expected);
}

TEST(TrayThread, VisibilityDeletesAndReaddsTheIconWithTheCurrentTooltip) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.host.callAndWait("setMenuBarVisible", test::args({false})).value, JSValue(false));
    ASSERT_TRUE(f.settled());
    f.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt}));
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.host.callAndWait("setMenuBarVisible", test::args({true})).value, JSValue(true));
    ASSERT_TRUE(f.settled());
    const std::vector<std::string> expected{"add Varnel VPN - Disconnected", "delete",
                                            "add Varnel VPN - Connected (Frankfurt 2)"};
    EXPECT_EQ(callLog(f.shell->calls()), expected);
}

TEST(TrayThread, HiddenBeforeTheThreadRanNoIconIsAddedUntilShown) {
    TrayFixture f;
    f.host.callAndWait("setMenuBarVisible", test::args({false}));
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.shell->windowsCreated(), 1);
    EXPECT_TRUE(f.shell->calls().empty());
    f.host.callAndWait("setMenuBarVisible", test::args({true}));
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(callLog(f.shell->calls()), std::vector<std::string>{"add Varnel VPN - Disconnected"});
}

TEST(TrayThread, RefusedIconIsAddedAgainAtTheNextRefreshAndShowsNoBalloon) {
    TrayFixture f;
    f.shell->acceptIcon(false);
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    f.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt}));
    f.host.callAndWait("notifyVpnConnectedOnHide");
    ASSERT_TRUE(f.settled());
    const std::vector<std::string> expected{"add Varnel VPN - Disconnected", "add Varnel VPN - Connected (Frankfurt 2)",
                                            "add Varnel VPN - Connected (Frankfurt 2)"};
    EXPECT_EQ(callLog(f.shell->calls()), expected);
}

TEST(TrayThread, ShellRestartAddsTheIconAgain) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    f.post(test::FakeTrayShell::kRestartMessage);
    ASSERT_TRUE(f.settled());
    const std::vector<std::string> expected{"add Varnel VPN - Disconnected", "add Varnel VPN - Disconnected"};
    EXPECT_EQ(callLog(f.shell->calls()), expected);
}

TEST(TrayThread, EachRefreshOfAShownIconPublishesTheMenuThatAClickWouldTrack) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    f.host.callAndWait("updateMenuBarMenu", test::args({kTwoServers}));
    ASSERT_TRUE(f.settled());
    f.post(kWmTrayCallback, 0, kWmRButtonUp);
    ASSERT_TRUE(f.settled());
    f.host.callAndWait("setMenuBarVisible", test::args({false}));
    f.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt}));
    ASSERT_TRUE(f.settled());

    const auto menus = f.shell->publishedMenus();
    ASSERT_EQ(menus.size(), 2u);  // none while the icon is hidden
    EXPECT_EQ(menus[0], buildTrayMenu({}));
    EXPECT_EQ(menus[1], f.shell->lastMenu());
    EXPECT_EQ(menus[1], buildTrayMenu({false, u"", {{"s1", u"Paris"}, {"s2", u"s2"}}}));
}

TEST(TrayThread, RacingCallersStartExactlyOneThread) {
    TrayFixture f;
    std::atomic<bool> go{false};
    std::vector<std::thread> callers;
    for (int i = 0; i < 8; ++i)
        callers.emplace_back([&] {
            while (!go) std::this_thread::yield();
            f.runtime->tray.ensureThread();
        });
    go = true;
    for (auto& t : callers) t.join();
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.shell->windowsCreated(), 1);
    EXPECT_EQ(callLog(f.shell->calls()).front(), "add Varnel VPN - Disconnected");
}

TEST(TrayThread, WindowThatCannotBeCreatedLeavesTheMethodsAnswering) {
    TrayFixture f;
    f.shell->failWindowCreation();
    f.host.initialize();
    ASSERT_TRUE(test::waitUntil([&] { return f.shell->windowsCreated() == 1; }));
    EXPECT_EQ(f.host.callAndWait("setMenuBarVisible", test::args({true})).value, JSValue(true));
    EXPECT_EQ(f.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt})).value, JSValue(true));
    EXPECT_EQ(f.host.callAndWait("notifyVpnConnectedOnHide").value, JSValue(true));
    EXPECT_TRUE(f.shell->calls().empty());
}

TEST(TrayMenuActions, EachChoiceSendsItsPayload) {
    struct Case {
        std::uint32_t id;
        std::vector<std::string> events;
    };
    for (const Case& c : {Case{2001, {"menuBarAction action=quickConnect"}},
                          Case{2002, {"menuBarAction action=disconnect"}},
                          Case{2003, {"menuBarAction action=openApp", "appWindowDidShow"}},
                          Case{3000, {"menuBarAction action=connectDedicated serverId=s1"}},
                          Case{3001, {"menuBarAction action=connectDedicated serverId=s2"}},
                          Case{3002, {}}, Case{0, {}}}) {
        SCOPED_TRACE(c.id);
        TrayFixture f;
        f.host.initialize();
        f.host.callAndWait("updateMenuBarMenu", test::args({kTwoServers}));
        ASSERT_TRUE(f.settled());
        f.shell->chooseFromMenu(c.id);
        f.post(kWmTrayCallback, 0, kWmRButtonUp);
        ASSERT_TRUE(f.settled());
        EXPECT_EQ(f.eventLog(), c.events);
        ASSERT_EQ(f.shell->lastMenu().size(), 9u);  // no Disconnect while not connected
        EXPECT_EQ(f.shell->lastMenu()[4].submenu.at(1).text, u"s2");
    }
}

TEST(TrayMenuActions, CommandMessagesTakeTheSamePathWithTheCurrentList) {
    TrayFixture f;
    f.host.initialize();
    f.host.callAndWait("updateMenuBarMenu", test::args({kTwoServers}));
    ASSERT_TRUE(f.settled());
    f.post(kWmCommand, 3001);
    f.post(kWmCommand, 0x10000 | 2001);  // the high word (the notification code) is not part of the id
    f.post(kWmCommand, 2001, 0x77);      // a control's notification is not a menu choice
    ASSERT_TRUE(f.settled());
    const std::vector<std::string> expected{"menuBarAction action=connectDedicated serverId=s2",
                                            "menuBarAction action=quickConnect"};
    EXPECT_EQ(f.eventLog(), expected);
    EXPECT_EQ(f.host.events().at(0).emitter, "RCTDeviceEventEmitter");
}

TEST(TrayMenuActions, ChoicesBeforeTheModuleIsInitialisedSendNothing) {
    TrayFixture f;
    f.host.callAndWait("setMenuBarVisible", test::args({true}));  // starts the tray without Initialize
    ASSERT_TRUE(f.settled());
    for (std::uint32_t id : {2001u, 2002u, 2003u}) f.post(kWmCommand, id);
    f.post(kWmTrayShowApp);
    ASSERT_TRUE(f.settled());
    EXPECT_TRUE(f.host.events().empty());
    // The window itself is still brought forward; only the event has nowhere to go.
    EXPECT_EQ(callLog(f.shell->calls()).back(), "showMainWindow VarnelVPN");
}

TEST(TrayMenuActions, ExitRemovesTheIconThenEndsTheProcessWithZeroAndSendsNothing) {
    TrayFixture f;
    f.host.initialize();
    f.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt}));
    ASSERT_TRUE(f.settled());
    f.shell->clearCalls();
    f.shell->chooseFromMenu(2004);
    f.post(kWmTrayCallback, 0, kWmLButtonUp);
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(callLog(f.shell->calls()), (std::vector<std::string>{"menu", "delete", "exit 0"}));
    EXPECT_TRUE(f.host.events().empty());
}

TEST(TrayIconNotifications, OnlyDoubleClickBalloonClickAndSecondStartShowTheWindow) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    f.shell->clearCalls();
    f.post(kWmTrayCallback, 0, 0x0200);  // mouse move
    f.post(kWmTrayCallback, 0, kWmLButtonDblClk);
    f.post(kWmTrayCallback, 0, kNinBalloonUserClick);
    f.post(kWmTrayShowApp);
    f.post(kWmTrayCallback, 0, kWmContextMenu);
    ASSERT_TRUE(f.settled());
    const std::vector<std::string> expected{"showMainWindow VarnelVPN", "showMainWindow VarnelVPN",
                                            "showMainWindow VarnelVPN", "menu"};
    EXPECT_EQ(callLog(f.shell->calls()), expected);
    EXPECT_EQ(f.eventLog(), std::vector<std::string>(3, "appWindowDidShow"));
}

TEST(ActivateApp, ResolvesTrueAndAnnouncesTheWindowOnlyWhenOneWasFound) {
    TrayFixture f;
    f.host.initialize();
    EXPECT_EQ(f.host.callAndWait("activateApp").value, JSValue(true));
    EXPECT_EQ(f.eventLog(), std::vector<std::string>{"appWindowDidShow"});
    f.shell->mainWindowPresent(false);
    EXPECT_EQ(f.host.callAndWait("activateApp").value, JSValue(true));
    EXPECT_EQ(f.eventLog().size(), 1u);
}

}  // namespace
}  // namespace varnel::tray
