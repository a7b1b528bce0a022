#include "app/desktop_session.h"

#include <gtest/gtest.h>

#include "support/fake_desktop_window.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

struct CloseCase {
    const char* name;
    std::string menu;  // what the interface last sent to updateMenuBarMenu
    std::u16string title, text;  // the balloon prepared; empty: none
};

class DesktopSessionClose : public testing::TestWithParam<CloseCase> {};

// The window of a build without a web view: the session names the bundle and starts the modules at
// once, so the tray runs; a close then hides the window and leaves the notice to the tray.
TEST_P(DesktopSessionClose, HidesTheWindowAndPreparesTheNoticeForTheTray) {
    test::TestRuntimeParts parts;
    DesktopSession session({}, DesktopSession::Clock::now());
    const platform::DesktopWindowEvents events = session.windowEvents();
    auto window = std::make_shared<test::FakeDesktopWindow>();
    window->webView = false;
    session.start(window, test::testServices(parts));
    const BundleLocation bundle = bundleBeside(session.runtime()->services.executablePath);
    EXPECT_EQ(window->calls(), (std::vector<test::WindowCall>{{"text", noWebViewText(bundle), {}}}));
    ASSERT_TRUE(test::waitUntil([&] { return parts.trayShell->sync(); }));

    session.runtime()->tray.updateMenuBarMenu(GetParam().menu);
    events.closeRequested();
    ASSERT_TRUE(parts.trayShell->sync());
    EXPECT_EQ(window->calls().back().what, "hide");
    std::vector<std::string> balloons;
    for (const std::string& call : parts.trayShell->calls())
        if (call.starts_with("balloon ")) balloons.push_back(call);
    tray::TrayCore& core = *session.runtime()->tray.core();
    std::unique_lock lock(core.trayMutex);
    EXPECT_EQ(core.state.balloonTitle, GetParam().title);
    EXPECT_EQ(core.state.balloonText, GetParam().text);
    lock.unlock();
    if (GetParam().title.empty()) {
        EXPECT_TRUE(balloons.empty());
        return;
    }
    EXPECT_EQ(balloons, std::vector<std::string>{"balloon " + platform::wideToUtf8(GetParam().title) + " | " +
                                                 platform::wideToUtf8(GetParam().text)});
}

INSTANTIATE_TEST_SUITE_P(
    TrayStates, DesktopSessionClose,
    testing::Values(CloseCase{"ConnectedWithALabel", R"({"connected":true,"serverLabel":"Frankfurt 2"})",
                              u"Varnel VPN is still connected", u"Protected via Frankfurt 2."},
                    CloseCase{"ConnectedWithoutALabel", R"({"connected":true})", u"Varnel VPN is still connected",
                              u"Your VPN tunnel remains active in the background."},
                    CloseCase{"NotConnected", R"({"connected":false,"serverLabel":"Frankfurt 2"})", u"", u""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
