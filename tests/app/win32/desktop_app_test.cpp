// VarnelVPN.exe as a user meets it, its window looked at through the system as another program would.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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

// A first instance of VarnelVPN.exe, ended with the test: by the end of its input when it serves it.
class DesktopApp : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = test::desktopMissingReason(); !reason.empty()) GTEST_SKIP() << reason;
    }
    void start(bool stdio) {
        ASSERT_TRUE(test::waitUntil([] { return mainWindow() == nullptr; })) << "a VarnelVPN window exists already";
        stdio_ = stdio;
        app_.emplace(stdio ? std::vector<std::string>{VARNEL_DESKTOP_EXE, "--interface=stdio"} : std::vector<std::string>{VARNEL_DESKTOP_EXE});
        ASSERT_TRUE(test::waitUntil([&] { return (window_ = mainWindow()) != nullptr && IsWindowVisible(window_); }));
    }
    void TearDown() override {
        if (app_ && stdio_) {
            app_->process().closeInput();
            EXPECT_EQ(app_->process().wait(), 0);
        }
    }

    std::optional<test::StdioProgram> app_;
    bool stdio_ = false;
    HWND window_ = nullptr;
};

// A second start ends with 0 and the first instance's window comes back: found by its title, and
// through its tray once the module is loaded (the interface is then told). A close only hides it.
TEST_F(DesktopApp, WindowKeepsItsSizeComesBackOnASecondStartAndACloseOnlyHidesIt) {
    ASSERT_NO_FATAL_FAILURE(start(true));
    EXPECT_EQ(outerSize(window_), std::make_pair(1280L, 860L));
    SetWindowPos(window_, nullptr, 0, 0, 800, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(outerSize(window_), std::make_pair(1180L, 680L));
    EXPECT_NE(shownText(window_).find(L"standard input and output"), std::wstring::npos);
    for (const bool trayStarted : {false, true}) {
        SCOPED_TRACE(trayStarted ? "with the tray" : "before the tray");
        if (trayStarted) {
            EXPECT_EQ(app_->call("setMenuBarVisible", {bridge::JSValue(true)}), bridge::JSValue(true));
            ASSERT_TRUE(test::waitUntil([] { return trayWindow() != nullptr; }));
        }
        ASSERT_EQ(trayWindow() != nullptr, trayStarted);
        ShowWindow(window_, SW_HIDE);
        ASSERT_FALSE(IsWindowVisible(window_));
        EXPECT_EQ(test::ChildProcess::start(VARNEL_DESKTOP_EXE).wait(), 0);
        EXPECT_TRUE(test::waitUntil([&] { return IsWindowVisible(window_) != FALSE; }));
        EXPECT_TRUE(!trayStarted || app_->waitForLog(R"({"event":"appWindowDidShow","args":[]})"));
    }
    EXPECT_EQ(app_->call("updateMenuBarMenu", {bridge::JSValue(R"({"connected":true,"serverLabel":"Frankfurt 2"})")}), bridge::JSValue(true));
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(test::waitUntil([&] { return !IsWindowVisible(window_); }));
    EXPECT_EQ(app_->call("notifyVpnConnectedOnHide"), bridge::JSValue(true));
    EXPECT_EQ(mainWindow(), window_);
}

// Without a web view the window names the bundle; the modules start at once, so the tray's menu can end it.
TEST_F(DesktopApp, WindowNamesTheBundleAndTheTrayMenuEndsTheApplication) {
    SetEnvironmentVariableW(L"VARNEL_TEST_POSTED_TRAY_COMMANDS", L"1");
    ASSERT_NO_FATAL_FAILURE(start(false));
    SetEnvironmentVariableW(L"VARNEL_TEST_POSTED_TRAY_COMMANDS", nullptr);
    std::wstring folder(std::begin(VARNEL_DESKTOP_EXE), std::end(VARNEL_DESKTOP_EXE) - 1);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    folder.erase(folder.rfind(L'\\'));
    EXPECT_NE(shownText(window_).find(L"Bundle root: file://" + folder + L"\\Bundle\\\r\n"), std::wstring::npos)
        << "window text: " << testing::PrintToString(shownText(window_));
    ASSERT_TRUE(test::waitUntil([] { return trayWindow() != nullptr; }));
    PostMessageW(trayWindow(), tray::kWmCommand, tray::kIdExit, 0);
    EXPECT_EQ(app_->process().wait(), 0);
}

}  // namespace
}  // namespace varnel
