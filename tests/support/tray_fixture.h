#pragma once
// A test host whose runtime's tray runs on a recording shell.

#include <memory>
#include <string>
#include <vector>

#include "support/fake_tray_shell.h"
#include "support/test_runtime.h"
#include "support/test_host.h"
#include "support/wait_until.h"

namespace varnel::test {

// Every event the host received: its name, with the menuBarAction payload's action and serverId.
inline std::vector<std::string> trayEventLog(TestHost& host) {
    std::vector<std::string> log;
    for (const RecordedEvent& e : host.events()) {
        std::string line = e.name;
        if (const JSValueArray* args = e.args.asArray(); args && !args->empty()) {
            for (const auto& [key, value] : *args->at(0).asObject()) line += " " + key + "=" + *value.asString();
        }
        log.push_back(line);
    }
    return log;
}

struct TrayFixture {
    std::shared_ptr<TestRuntime> runtime = makeTestRuntime();
    std::shared_ptr<FakeTrayShell> shell = runtime->trayShell;
    TestHost host{runtime};

    // Waits until the tray thread's window exists and everything posted so far has been handled.
    bool settled() {
        return waitUntil([this] { return shell->sync(); });
    }
    void post(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        shell->post(message, wParam, lParam);
    }
    std::vector<std::string> eventLog() { return trayEventLog(host); }
};

}  // namespace varnel::test
