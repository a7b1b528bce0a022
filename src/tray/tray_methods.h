#pragma once
// What the module's tray methods and the main window's closing handler do. None of them fails.

#include <memory>
#include <string_view>

namespace varnel {
struct Runtime;
}

namespace varnel::tray {

// Switches the icon on or off; returns visible.
bool setMenuBarVisible(const std::shared_ptr<Runtime>& runtime, bool visible);
// Takes the interface's menu description; returns true whatever it holds.
bool updateMenuBarMenu(const std::shared_ptr<Runtime>& runtime, std::string_view menu);

// Any thread. Prepares the balloon telling that the tunnel stays up while the window is hidden, or
// clears it when the tray is not connected.
void showBackgroundNotice(const std::shared_ptr<Runtime>& runtime);

// Any thread. Shows the main window found by its title and sends "appWindowDidShow"; false and no
// event when there is no main window.
bool showMainWindow(Runtime& runtime);

}  // namespace varnel::tray
