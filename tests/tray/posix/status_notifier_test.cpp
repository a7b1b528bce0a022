// The tray on a Linux desktop: the icon and its menu as a panel reads them over the session bus, the
// panel's clicks, a panel restart and the background notice. Run under dbus-run-session, whose
// private bus the doubles of the desktop's services take over.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <regex>
#include <thread>

#include "platform/main_window_presenter.h"
#include "platform/tray_shell.h"
#include "support/posix/fake_desktop_services.h"
#include "support/storage_fixture.h"
#include "support/temp_dir.h"
#include "support/tray_fixture.h"
#include "tray/tray_constants.h"
#include "tray/tray.h"

namespace varnel::tray {
namespace {

using test::FakeNotificationServer;
using test::FakeStatusNotifierWatcher;
using test::Panel;
using test::PanelMenuItem;
using test::waitUntil;

#define SKIP_WITHOUT_DESKTOP_BUS()                                                         \
    if (const std::string reason = test::desktopBusMissingReason(); !reason.empty()) GTEST_SKIP() << reason

constexpr const char* kFrankfurt = R"({"connected":true,"serverLabel":"Frankfurt 2","dedicated":[]})";
constexpr const char* kServers =
    R"({"connected":false,"dedicated":[{"id":"s1","label":"Paris"},{"id":"s2"},{"id":"us_east"}]})";

// The menu as a panel would draw it: one line per item, submenu items indented.
void render(const PanelMenuItem& item, const std::string& indent, std::vector<std::string>& lines) {
    for (const PanelMenuItem& child : item.children) {
        const auto& p = child.properties;
        std::string line = indent + (p.contains("type") ? "-" : p.contains("label") ? p.at("label") : "?");
        if (p.contains("enabled")) line += " [enabled=" + p.at("enabled") + "]";
        if (p.contains("toggle-type")) line += " [" + p.at("toggle-type") + "=" + p.at("toggle-state") + "]";
        if (p.contains("children-display")) line += " >";
        lines.push_back(line);
        render(child, indent + "  ", lines);
    }
}

std::vector<std::string> render(const PanelMenuItem& root) {
    std::vector<std::string> lines;
    render(root, "", lines);
    return lines;
}

// The item a panel shows with label, found through the whole tree; -1 when there is none.
std::int32_t itemLabelled(const PanelMenuItem& item, const std::string& label) {
    for (const PanelMenuItem& child : item.children) {
        if (child.properties.contains("label") && child.properties.at("label") == label) return child.id;
        if (const std::int32_t found = itemLabelled(child, label); found >= 0) return found;
    }
    return -1;
}

// Installs a main-window presenter for one test and counts its calls.
struct Presenter {
    explicit Presenter(bool windowExists) {
        platform::setMainWindowPresenter([this, windowExists] {
            ++calls;
            return windowExists;
        });
    }
    ~Presenter() { platform::setMainWindowPresenter(nullptr); }
    std::atomic<int> calls{0};
};

// A runtime on the build's real tray shell with a desktop around it: the watcher and the
// notification server hold their names from the start unless told otherwise.
struct DesktopTray {
    explicit DesktopTray(bool watcherRuns = true) {
        if (watcherRuns) {
            EXPECT_TRUE(watcher.takeName());
        }
        EXPECT_TRUE(notifications.takeName());
    }

    FakeStatusNotifierWatcher watcher;
    FakeNotificationServer notifications;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([](RuntimeServices& s) { s.trayShell = platform::systemTrayShell(); });
    test::TestHost host{runtime};

    // Waits for the watcher's count-th registration and gives the service it names.
    std::string registered(std::size_t count = 1) {
        if (!waitUntil([&] { return watcher.registrations().size() >= count; })) return {};
        return watcher.registrations().at(count - 1).service;
    }
    Panel panel() { return Panel(registered()); }
    std::vector<std::string> events() { return test::trayEventLog(host); }
};

TEST(DesktopTray, RegistersUnderItsOwnNameAndShowsWhatAPanelReads) {
    SKIP_WITHOUT_DESKTOP_BUS();
    DesktopTray t;
    t.host.initialize();
    const std::string service = t.registered();
    EXPECT_TRUE(std::regex_match(service, std::regex("org\\.kde\\.StatusNotifierItem-" + std::to_string(getpid()) + "-[0-9]+")))
        << service;
    Panel panel(service);

    const std::vector<std::pair<const char*, std::string>> expected{
        {"Category", "ApplicationStatus"}, {"Id", "VarnelVPN"},  {"Title", "Varnel VPN"},
        {"Status", "Active"},              {"ItemIsMenu", "false"}, {"Menu", "/MenuBar"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(panel.itemProperty(name), value) << name;
    EXPECT_EQ(panel.itemProperty("ToolTip").find("'Varnel VPN - Disconnected'") != std::string::npos, true)
        << panel.itemProperty("ToolTip");
    EXPECT_EQ(panel.menuProperty("Version"), "3");
    EXPECT_EQ(panel.menuProperty("Status"), "normal");

    // The icon's images: every bitmap size of the artwork, ARGB with the shield's corners clear and
    // its middle opaque.
    GVariant* pixmaps = panel.itemPropertyValue("IconPixmap");
    ASSERT_NE(pixmaps, nullptr);
    std::vector<int> sizes;
    for (gsize i = 0; i < g_variant_n_children(pixmaps); ++i) {
        gint32 width = 0, height = 0;
        g_autoptr(GVariant) bytes = nullptr;
        g_variant_get_child(pixmaps, i, "(ii@ay)", &width, &height, &bytes);
        gsize size = 0;
        const auto* argb = static_cast<const std::uint8_t*>(g_variant_get_fixed_array(bytes, &size, 1));
        ASSERT_EQ(size, static_cast<gsize>(width * height * 4));
        EXPECT_EQ(argb[0], 0) << width;                                        // top-left alpha
        const std::size_t middle = (static_cast<std::size_t>(height / 2) * width + width / 2) * 4;
        EXPECT_EQ(argb[middle], 255) << width;                                 // alpha
        EXPECT_GT(argb[middle + 3] + argb[middle + 2], 0) << width;           // colour, not black
        sizes.push_back(width);
    }
    g_variant_unref(pixmaps);
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 128}));
}

TEST(DesktopTray, TooltipAndMenuFollowEachDescription) {
    SKIP_WITHOUT_DESKTOP_BUS();
    DesktopTray t;
    t.host.initialize();
    Panel panel = t.panel();
    panel.listen();
    std::uint32_t first = 0, second = 0;
    panel.layout(&first);

    t.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt}));
    ASSERT_TRUE(waitUntil([&] { return panel.itemProperty("ToolTip").find("Connected (Frankfurt 2)") != std::string::npos; }));
    const std::vector<std::string> connected{
        "Connected: Frankfurt 2 [enabled=false]", "-", "Quick Connect [enabled=false]", "Disconnect", "-",
        "Dedicated Servers [enabled=false] >", "  None available [enabled=false]", "-", "Open Varnel VPN", "-",
        "Exit Varnel VPN"};
    EXPECT_EQ(render(panel.layout(&second)), connected);
    EXPECT_GT(second, first);

    t.host.callAndWait("updateMenuBarMenu", test::args({kServers}));
    ASSERT_TRUE(waitUntil([&] { return panel.itemProperty("ToolTip").find("Disconnected") != std::string::npos; }));
    const std::vector<std::string> servers{"Not connected [enabled=false]", "-", "Quick Connect", "-",
                                           "Dedicated Servers >", "  Paris", "  s2", "  us__east", "-",
                                           "Open Varnel VPN", "-", "Exit Varnel VPN"};
    EXPECT_EQ(render(panel.layout()), servers);

    ASSERT_TRUE(waitUntil([&] {
        const auto seen = panel.signalsSeen();
        return std::count(seen.begin(), seen.end(), "NewToolTip") == 2 && std::count(seen.begin(), seen.end(), "LayoutUpdated") == 2;
    }));
}

TEST(DesktopTray, AClickInThePanelsMenuSendsWhatTheSameChoiceSendsOnWindows) {
    SKIP_WITHOUT_DESKTOP_BUS();
    struct Case {
        const char* description;
        const char* label;
        std::vector<std::string> events;
    };
    for (const Case& c : {Case{kServers, "Quick Connect", {"menuBarAction action=quickConnect"}},
                          Case{kFrankfurt, "Disconnect", {"menuBarAction action=disconnect"}},
                          Case{kServers, "Paris", {"menuBarAction action=connectDedicated serverId=s1"}},
                          Case{kServers, "us__east", {"menuBarAction action=connectDedicated serverId=us_east"}},
                          Case{kServers, "Open Varnel VPN", {"menuBarAction action=openApp", "appWindowDidShow"}},
                          Case{kFrankfurt, "Paris", {}},  // not in this menu
                          Case{kFrankfurt, "Quick Connect", {}}}) {  // greyed while connected
        SCOPED_TRACE(std::string(c.label) + " in " + c.description);
        Presenter presenter(true);
        DesktopTray t;
        t.host.initialize();
        Panel panel = t.panel();
        t.host.callAndWait("updateMenuBarMenu", test::args({c.description}));
        ASSERT_TRUE(waitUntil([&] { return render(panel.layout()).size() == (c.description == kFrankfurt ? 11u : 12u); }));
        const PanelMenuItem menu = panel.layout();
        if (const std::int32_t item = itemLabelled(menu, c.label); item >= 0) {
            EXPECT_TRUE(panel.menuEvent(item, "hovered"));
            EXPECT_TRUE(panel.menuEvent(item, "clicked"));
        }
        // A choice that sends something is queued before this one, so once this one is seen the
        // tray has dealt with the click.
        ASSERT_TRUE(panel.menuEvent(itemLabelled(menu, "Open Varnel VPN"), "clicked"));
        ASSERT_TRUE(waitUntil([&] { return t.events().size() >= c.events.size() + 2; }));
        std::vector<std::string> expected = c.events;
        expected.insert(expected.end(), {"menuBarAction action=openApp", "appWindowDidShow"});
        EXPECT_EQ(t.events(), expected);
    }
}

TEST(DesktopTray, AClickOnTheIconShowsTheMainWindowThroughThePresenter) {
    SKIP_WITHOUT_DESKTOP_BUS();
    DesktopTray t;
    t.host.initialize();
    Panel panel = t.panel();
    const std::int32_t quickConnect = itemLabelled(panel.layout(), "Quick Connect");

    // No main window yet: nothing is announced. The menu choice after it shows the click was handled.
    EXPECT_TRUE(panel.itemCall("Activate", g_variant_new("(ii)", 10, 10)));
    EXPECT_TRUE(panel.itemCall("ContextMenu", g_variant_new("(ii)", 10, 10)));
    EXPECT_TRUE(panel.itemCall("SecondaryActivate", g_variant_new("(ii)", 10, 10)));
    EXPECT_TRUE(panel.itemCall("Scroll", g_variant_new("(is)", 1, "vertical")));
    EXPECT_TRUE(panel.menuEvent(quickConnect, "clicked"));
    ASSERT_TRUE(waitUntil([&] { return !t.events().empty(); }));
    EXPECT_EQ(t.events(), std::vector<std::string>{"menuBarAction action=quickConnect"});

    Presenter presenter(true);
    EXPECT_TRUE(panel.itemCall("Activate", g_variant_new("(ii)", 10, 10)));
    ASSERT_TRUE(waitUntil([&] { return t.events().size() == 2; }));
    EXPECT_EQ(t.events().back(), "appWindowDidShow");
    EXPECT_EQ(presenter.calls, 1);
}

TEST(DesktopTray, RegistersAgainWhenTheWatcherComesBackAndLeavesWhenHidden) {
    SKIP_WITHOUT_DESKTOP_BUS();
    DesktopTray t;
    t.host.initialize();
    const std::string service = t.registered(1);
    ASSERT_FALSE(service.empty());

    // A panel restart: the watcher's name goes and comes back.
    t.watcher.dropName();
    ASSERT_TRUE(t.watcher.takeName());
    EXPECT_EQ(t.registered(2), service);

    // Hidden, the item's name goes, so that every watcher drops it; shown, it registers again.
    t.host.callAndWait("setMenuBarVisible", test::args({false}));
    Panel panel(service);
    EXPECT_TRUE(waitUntil([&] { return panel.itemProperty("Id").empty(); }));
    t.host.callAndWait("setMenuBarVisible", test::args({true}));
    EXPECT_EQ(t.registered(3), service);
    EXPECT_EQ(panel.itemProperty("Status"), "Active");
    EXPECT_EQ(t.watcher.registrations().size(), 3u);
}

TEST(DesktopTray, WithoutAWatcherTheIconWaitsForOneToAppear) {
    SKIP_WITHOUT_DESKTOP_BUS();
    DesktopTray t(false);
    t.host.initialize();
    t.host.callAndWait("updateMenuBarMenu", test::args({kFrankfurt}));
    ASSERT_TRUE(waitUntil([&] { return t.runtime->tray.core()->shell->nativeWindow() != 0; }));
    EXPECT_TRUE(t.watcher.registrations().empty());
    ASSERT_TRUE(t.watcher.takeName());
    Panel panel(t.registered());
    EXPECT_NE(panel.itemProperty("ToolTip").find("Connected (Frankfurt 2)"), std::string::npos);
    EXPECT_EQ(t.watcher.registrations().size(), 1u);
}

TEST(DesktopTray, TheBackgroundNoticeIsADesktopNotificationThatOpensTheWindow) {
    SKIP_WITHOUT_DESKTOP_BUS();
    Presenter presenter(true);
    DesktopTray t;
    t.host.initialize();
    t.registered();
    struct Case {
        const char* description;
        std::string body;
    };
    const std::vector<Case> cases{
        {kFrankfurt, "Protected via Frankfurt 2."},
        {R"({"connected":true,"serverLabel":"R&D <1>"})", "Protected via R&amp;D &lt;1&gt;."},
        {R"({"connected":true})", "Your VPN tunnel remains active in the background."},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].description);
        t.host.callAndWait("updateMenuBarMenu", test::args({cases[i].description}));
        EXPECT_EQ(t.host.callAndWait("notifyVpnConnectedOnHide").value, JSValue(true));
        ASSERT_TRUE(waitUntil([&] { return t.notifications.notices().size() == i + 1; }));
        const FakeNotificationServer::Notice notice = t.notifications.notices().back();
        EXPECT_EQ(notice.appName, "VarnelVPN");
        EXPECT_EQ(notice.summary, "Varnel VPN is still connected");
        EXPECT_EQ(notice.body, cases[i].body);
        EXPECT_EQ(notice.expireTimeout, -1);
        EXPECT_EQ(notice.hints, std::vector<std::string>{"image-data"});
        EXPECT_EQ(notice.actions.at(0), "default");
        // Each notice takes the place of the one before, as a balloon does.
        EXPECT_EQ(notice.replacesId, i == 0 ? 0u : t.notifications.notices().front().id);
    }

    // Not connected: no notice. A click on another program's notice or on a button means nothing;
    // a click on ours brings the window forward.
    t.host.callAndWait("updateMenuBarMenu", test::args({kServers}));
    t.host.callAndWait("notifyVpnConnectedOnHide");
    const std::uint32_t ours = t.notifications.notices().back().id;
    t.notifications.invokeAction(ours + 100, "default");
    t.notifications.invokeAction(ours, "other");
    t.notifications.invokeAction(ours, "default");
    ASSERT_TRUE(waitUntil([&] { return !t.events().empty(); }));
    EXPECT_EQ(t.events(), std::vector<std::string>{"appWindowDidShow"});
    EXPECT_EQ(t.notifications.notices().size(), cases.size());
}

// Sets or removes a variable of this process until restored or destroyed.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        apply(value);
    }
    ~EnvironmentOverride() { restore(); }
    void restore() { apply(old_); }

private:
    void apply(const std::optional<std::string>& value) {
        if (value)
            setenv(name_, value->c_str(), 1);
        else
            unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

// The shell alone, driven on a thread of its own as the tray thread drives it.
struct ShellThread {
    std::shared_ptr<platform::TrayShell> shell = platform::systemTrayShell();
    std::mutex mutex;
    std::vector<platform::TrayWindowMessage> seen;
    const std::function<void(platform::TrayShell&)> onFirstMessage;
    std::thread thread;

    // onFirst runs on the shell's thread with the first message, as the tray logic would run.
    explicit ShellThread(std::function<void(platform::TrayShell&)> onFirst) : onFirstMessage(std::move(onFirst)) {
        thread = std::thread([this] {
            shell->createWindow({kTrayWindowClass, kWmTrayCallback, kTrayIconResource},
                                [this](const platform::TrayWindowMessage& m) {
                                    std::function<void(platform::TrayShell&)> first;
                                    {
                                        std::lock_guard lock(mutex);
                                        if (seen.empty()) first = onFirstMessage;
                                        seen.push_back(m);
                                    }
                                    if (first) first(*shell);
                                    return true;
                                });
            shell->runMessageLoop();
        });
        EXPECT_TRUE(waitUntil([&] { return shell->nativeWindow() != 0; }));
    }
    ~ShellThread() {
        shell->quit();
        thread.join();
    }
    std::vector<platform::TrayWindowMessage> messages() {
        std::lock_guard lock(mutex);
        return seen;
    }
};

TEST(DesktopTrayShell, TheIconIsRefusedWithoutABusOrAWatcherWhileMessagesStillFlow) {
    SKIP_WITHOUT_DESKTOP_BUS();
    test::TempDir noRuntimeDir;
    EnvironmentOverride noAddress("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    EnvironmentOverride noRuntime("XDG_RUNTIME_DIR", noRuntimeDir.path().string());
    for (const bool bus : {false, true}) {
        SCOPED_TRACE(bus ? "session bus without a watcher" : "no session bus");
        if (bus) {
            noAddress.restore();
            noRuntime.restore();
        }
        std::atomic<int> added{-1};
        {
            ShellThread s([&](platform::TrayShell& shell) { added = shell.addIcon(u"tip") ? 1 : 0; });
            EXPECT_TRUE(s.shell->post(kWmUser + 7, 1, 2));
            EXPECT_TRUE(s.shell->post(kWmUser + 8));
            ASSERT_TRUE(waitUntil([&] { return s.messages().size() == 2; }));
            EXPECT_EQ(s.messages()[0].message, kWmUser + 7);
            EXPECT_EQ(s.messages()[0].wParam, 1u);
            EXPECT_EQ(s.messages()[0].lParam, 2);
        }
        EXPECT_EQ(added, 0);
    }
}

TEST(DesktopTrayShell, ServesTheMenuItIsGivenAndReportsOnlyChoosableItems) {
    SKIP_WITHOUT_DESKTOP_BUS();
    FakeStatusNotifierWatcher watcher;
    ASSERT_TRUE(watcher.takeName());
    const std::vector<platform::TrayMenuEntry> menu{
        {u"Plain", 0x0, 11, {}},
        {u"Grey", 0x3, 12, {}},
        {u"", 0x800, 0, {}},
        {u"Ticked", 0x8, 13, {}},
        {u"More", 0x10, 0, {{u"Inner", 0x0, 14, {}}, {u"Disabled only", 0x2, 15, {}}}},
    };
    ShellThread s([&](platform::TrayShell& shell) {
        shell.setMenu(menu);
        shell.addIcon(u"tip");
    });
    s.shell->post(kWmUser + 1);
    ASSERT_TRUE(waitUntil([&] { return !watcher.registrations().empty(); }));
    Panel panel(watcher.registrations().front().service);
    const PanelMenuItem layout = panel.layout();
    const std::vector<std::string> expected{"Plain", "Grey [enabled=false]", "-", "Ticked [checkmark=1]", "More >",
                                            "  Inner", "  Disabled only [enabled=false]"};
    EXPECT_EQ(render(layout), expected);

    // The last click on "Plain" marks the end: every choice before it has arrived once it has.
    for (const char* label : {"Plain", "Grey", "Ticked", "More", "Inner", "Disabled only", "Plain"})
        EXPECT_TRUE(panel.menuEvent(itemLabelled(layout, label), "clicked")) << label;
    EXPECT_FALSE(panel.menuEvent(999, "clicked"));
    const auto chosen = [&] {
        std::vector<std::uintptr_t> ids;
        for (const auto& m : s.messages()) {
            if (m.message == kWmCommand && m.lParam == 0) ids.push_back(m.wParam);
        }
        return ids;
    };
    ASSERT_TRUE(waitUntil([&] { return !chosen().empty() && chosen().back() == 11 && chosen().size() > 1; }));
    EXPECT_EQ(chosen(), (std::vector<std::uintptr_t>{11, 13, 14, 11}));
}

}  // namespace
}  // namespace varnel::tray
