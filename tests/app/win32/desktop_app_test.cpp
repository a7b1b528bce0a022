// VarnelVPN.exe as a user meets it, its window looked at through the system as another program would.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "platform/desktop_window.h"
#include "support/child_process.h"
#include "support/environment.h"
#include "support/wait_until.h"
#include "tray/tray_constants.h"

namespace varnel {
namespace {

HWND mainWindow() { return FindWindowW(nullptr, L"VarnelVPN"); }
HWND trayWindow() { return FindWindowW(L"VarnelTrayWindow", nullptr); }

std::pair<long, long> outerSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// The text the window shows where the interface would be.
std::wstring shownText(HWND window) {
    wchar_t buffer[2048] = {};
    SendMessageW(FindWindowExW(window, nullptr, L"Static", nullptr), WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

int iconWidth(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// A first instance of VarnelVPN.exe, ended with the test: by the end of its input when it serves it.
class DesktopApp : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = test::desktopMissingReason(); !reason.empty()) GTEST_SKIP() << reason;
    }
    void start(const std::vector<std::string>& args) {
        ASSERT_TRUE(test::waitUntil([] { return mainWindow() == nullptr; })) << "a VarnelVPN window exists already";
        stdio_ = !args.empty();
        app_ = test::ChildProcess::start(VARNEL_DESKTOP_EXE, args);
        ASSERT_TRUE(test::waitUntil([&] { return (window_ = mainWindow()) != nullptr && IsWindowVisible(window_); }));
    }
    void TearDown() override {
        if (app_ && stdio_) {
            app_->closeInput();
            EXPECT_EQ(app_->wait(), 0);
        }
    }

    // Sends a request and returns its answer line; events read meanwhile are kept.
    std::string call(const std::string& id, const std::string& request) {
        app_->writeLine(R"({"id":)" + id + "," + request + "}");
        for (std::string line; app_->readLine(line); events_.push_back(line))
            if (line.rfind(R"({"id":)" + id + ",", 0) == 0) return line;
        return {};
    }
    bool receivedEvent(const std::string& line) {
        for (std::string next; std::find(events_.begin(), events_.end(), line) == events_.end(); events_.push_back(next))
            if (!app_->readLine(next)) return false;
        return true;
    }

    std::optional<test::ChildProcess> app_;
    bool stdio_ = false;
    HWND window_ = nullptr;
    std::vector<std::string> events_;
};

// A second start ends with 0 and the first instance's window comes back: found by its title, and
// through its tray once the module is loaded (the interface is then told). A close only hides it.
TEST_F(DesktopApp, WindowKeepsItsSizeComesBackOnASecondStartAndACloseOnlyHidesIt) {
    ASSERT_NO_FATAL_FAILURE(start({"--interface=stdio"}));
    EXPECT_EQ(outerSize(window_), std::make_pair(1280L, 860L));
    SetWindowPos(window_, nullptr, 0, 0, 800, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(outerSize(window_), std::make_pair(1180L, 680L));
    EXPECT_NE(shownText(window_).find(L"standard input and output"), std::wstring::npos);
    for (const bool trayStarted : {false, true}) {
        SCOPED_TRACE(trayStarted ? "with the tray" : "before the tray");
        if (trayStarted) {
            EXPECT_EQ(call("1", R"("method":"setMenuBarVisible","args":[true])"), R"({"id":1,"result":true})");
            ASSERT_TRUE(test::waitUntil([] { return trayWindow() != nullptr; }));
        }
        ASSERT_EQ(trayWindow() != nullptr, trayStarted);
        ShowWindow(window_, SW_HIDE);
        ASSERT_FALSE(IsWindowVisible(window_));
        EXPECT_EQ(test::ChildProcess::start(VARNEL_DESKTOP_EXE).wait(), 0);
        EXPECT_TRUE(test::waitUntil([&] { return IsWindowVisible(window_) != FALSE; }));
        EXPECT_TRUE(!trayStarted || receivedEvent(R"({"event":"appWindowDidShow","args":[]})"));
    }
    EXPECT_EQ(call("2", R"("method":"updateMenuBarMenu","args":["{\"connected\":true,\"serverLabel\":\"Frankfurt 2\"}"])"),
              R"({"id":2,"result":true})");
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(test::waitUntil([&] { return !IsWindowVisible(window_); }));
    EXPECT_EQ(call("3", R"("method":"notifyVpnConnectedOnHide")"), R"({"id":3,"result":true})");
    EXPECT_EQ(mainWindow(), window_);
}

// Wine answers WM_GETICON only within the window's own process, so the icons are looked at on a
// window this test makes the way the application does, from this program's copy of icon group 1008.
TEST(DesktopWindow, SetsTheIconGroupAtTheBigAndSmallSizesAndSkipsAMissingGroup) {
    if (const std::string reason = test::desktopMissingReason(); !reason.empty()) GTEST_SKIP() << reason;
    for (const auto& [resource, found] : {std::pair<std::uint16_t, bool>{tray::kTrayIconResource, true}, {4242, false}}) {
        platform::DesktopWindowSetup setup;
        setup.title = "VarnelVPN icons";
        setup.width = 640;
        setup.height = 480;
        setup.iconResource = resource;
        std::string failure;
        const std::shared_ptr<platform::DesktopWindow> window = platform::createDesktopWindow(setup, {}, failure);
        ASSERT_TRUE(window) << failure;
        const HWND shown = FindWindowW(nullptr, L"VarnelVPN icons");
        for (const auto& [which, width] :
             {std::pair<WPARAM, int>{ICON_BIG, GetSystemMetrics(SM_CXICON)}, {ICON_SMALL, GetSystemMetrics(SM_CXSMICON)}})
            EXPECT_EQ(iconWidth(reinterpret_cast<HICON>(SendMessageW(shown, WM_GETICON, which, 0))), found ? width : 0) << resource;
    }
}

// Without a web view the window names the bundle; the modules start at once, so the tray's menu can end it.
TEST_F(DesktopApp, WindowNamesTheBundleAndTheTrayMenuEndsTheApplication) {
    SetEnvironmentVariableW(L"VARNEL_TEST_POSTED_TRAY_COMMANDS", L"1");
    ASSERT_NO_FATAL_FAILURE(start({}));
    SetEnvironmentVariableW(L"VARNEL_TEST_POSTED_TRAY_COMMANDS", nullptr);
    std::wstring folder(std::begin(VARNEL_DESKTOP_EXE), std::end(VARNEL_DESKTOP_EXE) - 1);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    folder.erase(folder.rfind(L'\\'));
    EXPECT_NE(shownText(window_).find(L"Bundle root: file://" + folder + L"\\Bundle\\\r\n"), std::wstring::npos)
        << "window text: " << testing::PrintToString(shownText(window_));
    ASSERT_TRUE(test::waitUntil([] { return trayWindow() != nullptr; }));
    PostMessageW(trayWindow(), tray::kWmCommand, tray::kIdExit, 0);
    EXPECT_EQ(app_->wait(), 0);
}

}  // namespace
}  // namespace varnel
