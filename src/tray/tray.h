#pragma once
// The notification-area icon: MenuBarState with trayMutex, the tray thread and the shell that
// reaches the system, and the module's tray methods. None of the methods fails.

#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/thread.h"
#include "platform/tray_shell.h"
#include "tray/menu_bar_state.h"
#include "tray/tray_events.h"

namespace varnel::tray {

// Shared by the interface thread, the main window's thread and the tray thread (which holds it while
// it runs). trayMutex guards state only and is never held across a shell call or an event; the
// flags are atomic; iconAdded is touched by the tray thread alone.
struct TrayCore {
    TrayCore(std::shared_ptr<platform::TrayShell> shellToUse, std::shared_ptr<const TrayEvents> eventsToSend)
        : shell(std::move(shellToUse)), events(std::move(eventsToSend)) {}

    const std::shared_ptr<platform::TrayShell> shell;
    const std::shared_ptr<const TrayEvents> events;
    std::mutex trayMutex;
    MenuBarState state;
    std::atomic<bool> trayThreadStarted{false};
    bool iconAdded = false;
};

class Tray {
public:
    Tray(std::shared_ptr<platform::TrayShell> shell, std::shared_ptr<const TrayEvents> events,
         std::shared_ptr<platform::ThreadLauncher> threads);
    // A tray thread that is still running is told to end, since nothing will reach it any more.
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // Any thread. The first call starts the tray thread; later ones ask its window to refresh the icon.
    void ensureThread();
    // Switches the icon on or off; returns visible.
    bool setMenuBarVisible(bool visible);
    // Takes the interface's menu description; returns true whatever it holds.
    bool updateMenuBarMenu(std::string_view menu);
    // Any thread. Prepares the balloon telling that the tunnel stays up while the window is hidden,
    // or clears it when the tray is not connected.
    void showBackgroundNotice();
    // Any thread. Shows the main window found by its title and sends "appWindowDidShow"; false and
    // no event when there is no main window.
    bool showMainWindow();

    const std::shared_ptr<TrayCore>& core() const { return core_; }

private:
    const std::shared_ptr<TrayCore> core_;
    const std::shared_ptr<platform::ThreadLauncher> threads_;
};

}  // namespace varnel::tray
