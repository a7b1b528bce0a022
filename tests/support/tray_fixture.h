#pragma once
// The tray through the module on the recording shell, and a shell's window run as the tray runs it.

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "support/test_helpers.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "tray/tray_constants.h"

namespace varnel::test {

// Every event the host received: its name, with the menuBarAction payload's action and serverId.
inline std::vector<std::string> trayEventLog(TestHost& host) {
    std::vector<std::string> log;
    for (const RecordedEvent& e : host.events()) {
        log.push_back(e.name);
        if (const JSValueArray* args = e.args.asArray(); args && !args->empty())
            for (const auto& [key, value] : *args->at(0).asObject()) log.back() += " " + key + "=" + *value.asString();
    }
    return log;
}

// Runs the shell's window on a thread of its own: onWindow there, then the loop, which WM_USER ends. Gives
// the messages WM_USER and WM_USER + 1, commands and destroy that the window handled, as "MESSAGE WPARAM LPARAM".
inline std::vector<std::string> runTrayWindow(platform::TrayShell& shell, const std::function<void()>& onWindow) {
    using namespace tray;
    std::vector<std::string> seen;
    std::thread([&] {
        const auto handle = [&](const platform::TrayWindowMessage& m) {
            if (m.message != kWmUser && m.message != kWmUser + 1 && m.message != kWmCommand && m.message != kWmDestroy) return false;
            seen.push_back(std::to_string(m.message) + " " + std::to_string(m.wParam) + " " + std::to_string(m.lParam));
            if (m.message == kWmUser) shell.quit();
            return true;
        };
        if (!shell.createWindow({kTrayWindowClass, kWmTrayCallback, kTrayIconResource}, handle)) return;
        onWindow();
        shell.runMessageLoop();
    }).join();
    return seen;
}

struct TrayFixture {
    std::shared_ptr<TestRuntime> runtime = makeTestRuntime();
    FakeTrayShell& shell = *runtime->trayShell;
    TestHost host{runtime};

    // Waits until the tray thread's window exists and everything posted so far has been handled.
    bool settled() { return waitUntil([this] { return shell.sync(); }); }

    // One step of a scenario, then waits for the tray to deal with it. A module method: "initialize",
    // "hide", "show", "menu JSON", "notify", "activate"; what the shell answers from now on: "refuse
    // icons", "no main window"; a message from the system: "restart" (of the shell),
    // "balloon" (arriving on its own), "show app" (from a second start), "icon N" (the notification N
    // about the icon), "click LABEL" (the menu opened and LABEL chosen).
    void step(const std::string& what) {
        using namespace tray;
        if (what == "refuse icons") shell.acceptsIcon = false;
        if (what == "no main window") shell.hasMainWindow = false;
        if (what == "refuse icons" || what.starts_with("no ")) return;
        JSValue answer(true);
        const std::string rest = what.substr(what.find(' ') + 1);
        if (what == "initialize") host.initialize();
        if (what == "hide" || what == "show") answer = host.callAndWait("setMenuBarVisible", args({what == "show"})).value;
        if (what.starts_with("menu ")) answer = host.callAndWait("updateMenuBarMenu", args({rest})).value;
        if (what == "notify") answer = host.callAndWait("notifyVpnConnectedOnHide").value;
        if (what == "activate") answer = host.callAndWait("activateApp").value;
        if (what == "restart") shell.post(FakeTrayShell::kRestartMessage, 0, 0);
        if (what == "balloon") shell.post(kWmTrayBalloon, 0, 0);
        if (what == "show app") shell.post(kWmTrayShowApp, 0, 0);
        if (what.starts_with("icon ")) shell.post(kWmTrayCallback, 0, std::stoi(rest, nullptr, 0));
        if (what.starts_with("click ")) {
            shell.menuChoice = platform::utf8ToWide(rest);
            shell.post(kWmTrayCallback, 0, kWmRButtonUp);
        }
        EXPECT_EQ(answer, JSValue(what != "hide")) << what;
        EXPECT_TRUE(settled()) << what;
    }
    // The shell's calls, then the events.
    std::vector<std::string> log() {
        std::vector<std::string> lines = shell.calls();
        for (const std::string& event : trayEventLog(host)) lines.push_back(event);
        return lines;
    }
};

}  // namespace varnel::test
