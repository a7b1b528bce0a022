#pragma once
// The tray's process-wide state: MenuBarState with trayMutex, the thread flag and the shell that
// reaches the system. The runtime holds one TrayControl; the tray thread holds the core itself.

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/tray_shell.h"
#include "tray/menu_bar_state.h"

namespace varnel::tray {

// Shared by the interface thread, the main window's thread and the tray thread (which owns it while
// it runs). trayMutex guards state only and is never held across a shell call or an event; the
// flags are atomic; iconAdded is touched by the tray thread alone.
struct TrayCore {
    explicit TrayCore(std::shared_ptr<platform::TrayShell> shellToUse) : shell(std::move(shellToUse)) {}

    const std::shared_ptr<platform::TrayShell> shell;
    std::mutex trayMutex;
    MenuBarState state;
    std::atomic<bool> trayThreadStarted{false};
    bool iconAdded = false;
};

class TrayControl {
public:
    TrayControl();
    // A tray thread that is still running is told to end, since nothing will reach it any more.
    ~TrayControl();
    TrayControl(const TrayControl&) = delete;
    TrayControl& operator=(const TrayControl&) = delete;

    // Tests put a shell of their own in place before anything has started the tray thread.
    void useShell(std::shared_ptr<platform::TrayShell> shell);
    const std::shared_ptr<TrayCore>& core() const { return core_; }

private:
    std::shared_ptr<TrayCore> core_;
};

}  // namespace varnel::tray
