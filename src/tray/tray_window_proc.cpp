#include "tray/tray_window_proc.h"

#include "tray/tray_constants.h"

namespace varnel::tray {

namespace {

// The icon was registered without a version, so lParam carries the mouse message whole.
TrayAction routeIconNotification(std::intptr_t notification) {
    switch (notification) {
        case kWmRButtonUp:
        case kWmContextMenu:
        case kWmLButtonUp: return TrayAction::ShowMenu;
        case kWmLButtonDblClk:
        case kNinBalloonUserClick: return TrayAction::ShowMainWindow;
        default: return TrayAction::Nothing;
    }
}

}  // namespace

TrayAction routeTrayMessage(const platform::TrayWindowMessage& message, std::uint32_t shellRestartMessage) {
    switch (message.message) {
        case kWmTrayCallback: return routeIconNotification(message.lParam);
        case kWmTrayShowApp: return TrayAction::ShowMainWindow;
        case kWmTrayRefresh: return TrayAction::Refresh;
        case kWmTrayBalloon: return TrayAction::ShowBalloon;
        case kWmDestroy: return TrayAction::RemoveIcon;
        // A command from a control carries the control in lParam; only menu commands are ours.
        case kWmCommand: return message.lParam == 0 ? TrayAction::MenuCommand : TrayAction::Default;
        default: break;
    }
    if (shellRestartMessage != 0 && message.message == shellRestartMessage) return TrayAction::ShellRestarted;
    return TrayAction::Default;
}

}  // namespace varnel::tray
