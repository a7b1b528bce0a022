// Runs a tray on the system's shell, says "ready" once its window exists, then chooses the menu's
// exit command through the command path. The process must end at once with 0; 3 and 4 mean it did not.

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "tray/tray.h"
#include "tray/tray_constants.h"

namespace {
struct NoEvents final : varnel::tray::TrayEvents {
    void EmitMenuBarAction(const varnel::bridge::JSValueObject&) const override {}
    void EmitAppWindowDidShow() const override {}
};
}  // namespace

int main() {
    using namespace std::chrono_literals;
    varnel::tray::Tray tray(varnel::platform::systemTrayShell(), std::make_shared<NoEvents>(), varnel::platform::systemThreadLauncher());
    tray.ensureThread();
    varnel::platform::TrayShell& shell = *tray.core()->shell;
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
