#pragma once
// What the tray window does with each message it receives.

#include <cstdint>

#include "platform/tray_shell.h"

namespace varnel::tray {

enum class TrayAction {
    ShowMenu,        // a button release or the context-menu notification on the icon
    ShowMainWindow,  // a double click, a click on the balloon, or a second start of the application
    Refresh,
    ShowBalloon,
    RemoveIcon,      // the window is being destroyed
    MenuCommand,     // a menu id that arrives as a command message (the low word of wParam)
    ShellRestarted,  // the shell lost every icon and asks for them again
    Nothing,         // handled by doing nothing, never passed on
    Default,         // the system's default processing
};

// shellRestartMessage is the shell's registered restart message, 0 where there is none.
TrayAction routeTrayMessage(const platform::TrayWindowMessage& message, std::uint32_t shellRestartMessage);

}  // namespace varnel::tray
