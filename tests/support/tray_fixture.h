#pragma once
// What the tray told the interface, and a shell's window run as the tray runs it.

#include <functional>
#include <thread>

#include "platform/tray_shell.h"
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
        if (const bridge::JSValueArray* args = e.args.asArray(); args && !args->empty())
            for (const auto& [key, value] : *args->at(0).asObject()) log.back() += " " + key + "=" + *value.asString();
    }
    return log;
}

// Runs the shell's window on a thread of its own: onWindow there, then the loop, which WM_USER ends. Gives
// the WM_USER, WM_USER + 1, command and destroy messages handled, as "MESSAGE WPARAM LPARAM".
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

}  // namespace varnel::test
