#pragma once
// The tray thread: its start, its window's message handling, the icon, the menu and the balloon.

#include <cstdint>
#include <memory>

#include "platform/thread.h"
#include "tray/tray.h"
#include "tray/tray_menu.h"

namespace varnel::tray {

// Any thread. The first call starts the tray thread; later ones ask its window to refresh the icon.
void ensureTrayThread(const std::shared_ptr<TrayCore>& core, platform::ThreadLauncher& threads);
// Any thread. Shows the main window and sends "appWindowDidShow"; false and no event without one.
bool showMainWindowOf(TrayCore& core);

// Tray thread only.
void refreshTrayIcon(TrayCore& core);
void removeTrayIcon(TrayCore& core);
void showPendingBalloon(TrayCore& core);
void showTrayMenu(TrayCore& core);
void actOnMenuChoice(TrayCore& core, std::uint32_t id, const MenuSnapshot& shown);

// Copies what the menu shows, under trayMutex.
MenuSnapshot takeMenuSnapshot(TrayCore& core);

}  // namespace varnel::tray
