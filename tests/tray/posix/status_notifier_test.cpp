// The tray on a Linux desktop: a panel, its watcher and a notification server on a private bus.

#include <gtest/gtest.h>

#include <optional>

#include "app/desktop_tray_shell.h"
#include "support/fake_desktop_window.h"
#include "support/posix/fake_desktop_services.h"
#include "support/tray_fixture.h"

namespace varnel::tray {
namespace {

using test::waitUntil;

// The desktop application's tray shell: the build's own, showing a window that is always there.
struct DesktopTray : testing::Test {
    void SetUp() override {
        if (const std::string reason = test::desktopBusMissingReason(); !reason.empty()) GTEST_SKIP() << reason;
        ASSERT_TRUE(notifications.takeName());
    }

    // Waits for the watcher's count-th registration, which the panel then reads.
    std::string registered(std::size_t count) {
        if (!waitUntil([&] { return watcher.registrations().size() >= count; })) return {};
        return panel.emplace(watcher.registrations().at(count - 1)).service();
    }
    void call(const std::string& method, const bridge::JSValue& arguments = bridge::JSValue(bridge::JSValueArray{})) { host.callAndWait(method, arguments); }
    bool tooltipIs(const std::string& text) { return waitUntil([&] { return panel->property("ToolTip").find("'" + text + "'") != std::string::npos; }); }
    // The menu as the panel draws it, submenu items indented; ids keeps each label's item.
    std::vector<std::string> menu(const test::PanelMenuItem& item, const std::string& indent = "") {
        std::vector<std::string> lines;
        for (const test::PanelMenuItem& child : item.children) {
            const auto& p = child.properties;
            const std::string label = p.contains("type") ? "-" : p.at("label");
            ids[label] = child.id;
            lines.push_back(indent + label + (p.contains("enabled") ? " [enabled=" + p.at("enabled") + "]" : "") + (p.contains("children-display") ? " >" : ""));
            for (const std::string& inner : menu(child, indent + "  ")) lines.push_back(inner);
        }
        return lines;
    }
    bool click(std::int32_t item) { return panel->call("Event", g_variant_new("(isvu)", item, "clicked", g_variant_new_int32(0), 0u), true); }

    test::FakeStatusNotifierWatcher watcher;
    test::FakeNotificationServer notifications;
    std::optional<test::Panel> panel;
    std::map<std::string, std::int32_t> ids;
    std::shared_ptr<test::FakeDesktopWindow> window = std::make_shared<test::FakeDesktopWindow>();
    std::shared_ptr<test::TestRuntime> runtime =
        test::makeTestRuntime([this](RuntimeServices& s) { s.trayShell = desktopTrayShell(platform::systemTrayShell(), window); });
    test::TestHost host{runtime};
};

TEST_F(DesktopTray, APanelShowsTheIconItsMenuAndItsNoticesAndItsClicksReachTheTray) {
    // Without a watcher the shell's window takes messages but refuses the icon.
    const std::shared_ptr<platform::TrayShell> alone = platform::systemTrayShell();
    bool took = true;
    test::runTrayWindow(*alone, [&] { took = alone->addIcon(u"tip"); alone->post(kWmUser); });
    EXPECT_FALSE(took);

    host.initialize();
    call("updateMenuBarMenu", test::args({R"({"connected":true,"serverLabel":"Frankfurt 2"})"}));
    // A panel that starts later finds the icon as it is now.
    ASSERT_TRUE(waitUntil([&] { return runtime->tray.core()->shell->nativeWindow() != 0; }));
    ASSERT_TRUE(watcher.takeName());
    const std::string service = registered(1);
    ASSERT_FALSE(service.empty());
    std::string read;
    for (const char* name : {"Category", "Id", "Title", "Status", "IconName", "ItemIsMenu", "Menu"}) read += std::string(name) + "=" + panel->property(name) + ",";
    EXPECT_EQ(read, "Category=ApplicationStatus,Id=VarnelVPN,Title=Varnel VPN,Status=Active,IconName=,ItemIsMenu=false,Menu=/MenuBar,");
    EXPECT_TRUE(tooltipIs("Varnel VPN - Connected (Frankfurt 2)"));

    // The menu and the tooltip follow each description; a greyed item cannot be chosen.
    menu(panel->layout());
    EXPECT_TRUE(click(ids.at("Quick Connect")));  // while connected
    call("updateMenuBarMenu", test::args({R"({"connected":false,"dedicated":[{"id":"s1","label":"Paris"},{"id":"us_east"}]})"}));
    ASSERT_TRUE(tooltipIs("Varnel VPN - Disconnected"));
    EXPECT_EQ(menu(panel->layout()), (std::vector<std::string>{"Not connected [enabled=false]", "-", "Quick Connect", "-", "Dedicated Servers >",
                                                                "  Paris", "  us__east", "-", "Open Varnel VPN", "-", "Exit Varnel VPN"}));

    // A server is chosen; clicks on no item and on the icon's other buttons come to nothing; a click on
    // the icon shows the main window. The last click, handled after every one before it, marks the end.
    EXPECT_TRUE(click(ids.at("us__east")));
    EXPECT_FALSE(click(999));
    for (const char* method : {"Activate", "ContextMenu", "SecondaryActivate"}) EXPECT_TRUE(panel->call(method, g_variant_new("(ii)", 1, 1)));
    EXPECT_TRUE(click(ids.at("Open Varnel VPN")));
    ASSERT_TRUE(waitUntil([&] { return test::trayEventLog(host).size() >= 4; }));
    EXPECT_EQ(test::trayEventLog(host), (std::vector<std::string>{"menuBarAction action=connectDedicated serverId=us_east",
                                                                  "appWindowDidShow", "menuBarAction action=openApp", "appWindowDidShow"}));
    EXPECT_TRUE(window->calls().empty());  // the window is shown from its own thread, where posted tasks run
    window->runPosted();
    EXPECT_EQ(window->calls(), std::vector<std::string>(2, "present"));

    // The panel restarts: the icon registers again. Hidden, the item's name goes, so that every
    // watcher drops it; shown, it registers again.
    watcher.dropName();
    ASSERT_TRUE(watcher.takeName());
    EXPECT_EQ(registered(2), service);
    call("setMenuBarVisible", test::args({false}));
    EXPECT_TRUE(waitUntil([&] { return panel->property("Id").empty(); }));
    call("setMenuBarVisible", test::args({true}));
    EXPECT_EQ(registered(3), service);
    EXPECT_EQ(watcher.registrations().size(), 3u);

    // The background notice is a desktop notification, its text escaped for servers that read markup,
    // each taking the place of the one before. Only a click on our latest notice brings the window forward.
    call("updateMenuBarMenu", test::args({R"({"connected":true,"serverLabel":"R&D <1>"})"}));
    const std::string notice = ", '', 'Varnel VPN is still connected', 'Protected via R&amp;D &lt;1&gt;.', ['default', 'Open Varnel VPN'], {...}, -1";
    for (std::size_t count = 1; count <= 2; ++count) {
        call("notifyVpnConnectedOnHide");
        ASSERT_TRUE(waitUntil([&] { return notifications.calls().size() == count; }));
    }
    for (const auto& [id, key] : {std::pair(8u, "default"), std::pair(7u, "other"), std::pair(7u, "default")})
        notifications.emit("org.freedesktop.Notifications", "ActionInvoked", g_variant_new("(us)", id, key));
    ASSERT_TRUE(waitUntil([&] { return test::trayEventLog(host).size() == 5; }));
    EXPECT_EQ(test::trayEventLog(host).back(), "appWindowDidShow");
    EXPECT_EQ(notifications.calls(), (std::vector<std::string>{"'VarnelVPN', 0" + notice, "'VarnelVPN', 7" + notice}));
}

}  // namespace
}  // namespace varnel::tray
