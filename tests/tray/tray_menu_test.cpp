#include <gtest/gtest.h>

#include "tray/tray_constants.h"
#include "tray/tray_menu.h"
#include "tray/tray_window_proc.h"

namespace varnel::tray {
namespace {

using platform::TrayMenuEntry;

// One line per entry: flags, id and text, with a popup's items indented under it.
std::vector<std::string> describe(const std::vector<TrayMenuEntry>& menu, const std::string& indent = "") {
    std::vector<std::string> lines;
    for (const TrayMenuEntry& e : menu) {
        std::string text(e.text.begin(), e.text.end());  // the test texts are ASCII
        lines.push_back(indent + std::to_string(e.flags) + " " + std::to_string(e.id) + " " + text);
        for (const std::string& line : describe(e.submenu, indent + "  ")) lines.push_back(line);
    }
    return lines;
}

TEST(TrayMenu, ConnectedWithLabelAndNoServers) {
    const MenuSnapshot snapshot{true, u"Frankfurt 2", {}};
    const std::vector<std::string> expected{
        "3 0 Connected: Frankfurt 2", "2048 0 ", "3 2001 Quick Connect", "0 2002 Disconnect", "2048 0 ",
        "19 0 Dedicated Servers",     "  3 0 None available",          "2048 0 ",           "0 2003 Open Varnel VPN",
        "2048 0 ",                    "0 2004 Exit Varnel VPN"};
    EXPECT_EQ(describe(buildTrayMenu(snapshot)), expected);
}

TEST(TrayMenu, DisconnectedWithTwoServersOneUnlabelled) {
    const MenuSnapshot snapshot{false, u"", {{"s1", u"Paris"}, {"s2", u"s2"}}};
    const std::vector<std::string> expected{
        "3 0 Not connected", "2048 0 ", "0 2001 Quick Connect", "2048 0 ", "16 0 Dedicated Servers", "  0 3000 Paris",
        "  0 3001 s2",       "2048 0 ", "0 2003 Open Varnel VPN", "2048 0 ", "0 2004 Exit Varnel VPN"};
    EXPECT_EQ(describe(buildTrayMenu(snapshot)), expected);
}

TEST(TrayMenu, ServersAreGreyedWhileConnected) {
    const auto menu = buildTrayMenu({true, u"", {{"s1", u"Paris"}}});
    const auto& popup = menu.at(5);
    EXPECT_EQ(popup.flags, kMfPopup);
    ASSERT_EQ(popup.submenu.size(), 1u);
    EXPECT_EQ(popup.submenu[0].flags, kMfGrayed);
    EXPECT_EQ(popup.submenu[0].id, 3000u);
}

TEST(MenuChoice, IdsMeanTheirCommandAgainstTheListThatWasShown) {
    const MenuSnapshot shown{false, u"", {{"s1", u"Paris"}, {"s2", u"s2"}}};
    struct Case {
        std::uint32_t id;
        MenuCommand command;
        std::string serverId;
    };
    for (const Case& c : {Case{2001, MenuCommand::QuickConnect, ""}, Case{2002, MenuCommand::Disconnect, ""},
                          Case{2003, MenuCommand::OpenApp, ""}, Case{2004, MenuCommand::Exit, ""},
                          Case{3000, MenuCommand::ConnectDedicated, "s1"}, Case{3001, MenuCommand::ConnectDedicated, "s2"},
                          Case{3002, MenuCommand::None, ""}, Case{0, MenuCommand::None, ""},
                          Case{2999, MenuCommand::None, ""}, Case{2005, MenuCommand::None, ""}}) {
        SCOPED_TRACE(c.id);
        const MenuChoice choice = decodeMenuChoice(c.id, shown);
        EXPECT_EQ(choice.command, c.command);
        EXPECT_EQ(choice.serverId, c.serverId);
    }
}

TEST(TrayWindowProc, RoutesEveryMessageOfTheTable) {
    constexpr std::uint32_t kRestart = 0xC0DE;
    struct Case {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        TrayAction action;
    };
    for (const Case& c : {
             Case{kWmTrayCallback, 0, kWmRButtonUp, TrayAction::ShowMenu},
             Case{kWmTrayCallback, 0, kWmContextMenu, TrayAction::ShowMenu},
             Case{kWmTrayCallback, 0, kWmLButtonUp, TrayAction::ShowMenu},
             Case{kWmTrayCallback, 0, kWmLButtonDblClk, TrayAction::ShowMainWindow},
             Case{kWmTrayCallback, 0, kNinBalloonUserClick, TrayAction::ShowMainWindow},
             Case{kWmTrayCallback, 0, 0x0200 /* mouse move */, TrayAction::Nothing},
             Case{kWmTrayCallback, 0, 0x0207 /* middle button */, TrayAction::Nothing},
             // lParam is compared whole: a mouse message with high bits set is not a button release.
             Case{kWmTrayCallback, 0, 0x10205, TrayAction::Nothing},
             Case{kWmTrayShowApp, 0, 0, TrayAction::ShowMainWindow},
             Case{kWmTrayRefresh, 0, 0, TrayAction::Refresh},
             Case{kWmTrayBalloon, 0, 0, TrayAction::ShowBalloon},
             Case{kWmDestroy, 0, 0, TrayAction::RemoveIcon},
             Case{kWmCommand, 2004, 0, TrayAction::MenuCommand},
             Case{kWmCommand, 2004, 0x5678, TrayAction::Default},
             Case{kRestart, 0, 0, TrayAction::ShellRestarted},
             Case{0x0010 /* close */, 0, 0, TrayAction::Default},
         }) {
        SCOPED_TRACE(testing::Message() << std::hex << c.message << " " << c.lParam);
        EXPECT_EQ(routeTrayMessage({c.message, c.wParam, c.lParam}, kRestart), c.action);
    }
    // Without a shell restart message, message 0 is not mistaken for it.
    EXPECT_EQ(routeTrayMessage({0, 0, 0}, 0), TrayAction::Default);
}

}  // namespace
}  // namespace varnel::tray
