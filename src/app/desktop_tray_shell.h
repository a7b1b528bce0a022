#pragma once
// The tray shell of the desktop application: the system's shell for everything, except that the
// main window it shows is our own window, reached through its thread rather than found by title
// (Linux has no process-wide window list to search, and the window is ours anyway).

#include <memory>

#include "platform/desktop_window.h"
#include "platform/tray_shell.h"

namespace varnel {

std::shared_ptr<platform::TrayShell> desktopTrayShell(std::shared_ptr<platform::TrayShell> system,
                                                      std::shared_ptr<platform::DesktopWindow> window);

}  // namespace varnel
