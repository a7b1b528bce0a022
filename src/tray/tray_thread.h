#pragma once
// The tray thread: its start, its window's message handling, the icon, the menu and the balloon.

#include <cstdint>
#include <memory>

#include "tray/tray_control.h"
#include "tray/tray_menu.h"

namespace varnel {
struct Runtime;
}

namespace varnel::tray {

// Any thread. The first call starts the tray thread; later ones ask its window to refresh the icon.
void ensureTrayThread(const std::shared_ptr<Runtime>& runtime);

// Tray thread only.
void refreshTrayIcon(TrayCore& core);
void removeTrayIcon(TrayCore& core);
void showPendingBalloon(TrayCore& core);
void showTrayMenu(TrayCore& core, const std::weak_ptr<Runtime>& runtime);
void actOnMenuChoice(TrayCore& core, const std::weak_ptr<Runtime>& runtime, std::uint32_t id,
                     const MenuSnapshot& shown);

// Copies what the menu shows, under trayMutex.
MenuSnapshot takeMenuSnapshot(TrayCore& core);

}  // namespace varnel::tray
