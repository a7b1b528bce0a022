// Runs a tray on the system's shell, says "ready" once its window exists, then chooses the menu's
// exit command through the command path. The process must end at once with 0; 3 and 4 mean it did not.

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "app/runtime.h"
#include "tray/tray_constants.h"
#include "tray/tray_thread.h"

int main() {
    using namespace std::chrono_literals;
    auto runtime = std::make_shared<varnel::Runtime>();
    varnel::tray::ensureTrayThread(runtime);
    varnel::platform::TrayShell& shell = *runtime->tray.core()->shell;
    for (int i = 0; i < 3000 && shell.nativeWindow() == 0; ++i) std::this_thread::sleep_for(10ms);
    if (shell.nativeWindow() == 0) {
        std::puts("no tray window");
        return 3;
    }
    std::puts("ready");
    std::fflush(stdout);
    shell.post(varnel::tray::kWmCommand, varnel::tray::kIdExit, 0);
    std::this_thread::sleep_for(60s);
    return 4;
}
