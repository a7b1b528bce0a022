#include "tray/tray_thread.h"

#include "tray/menu_bar_action.h"
#include "tray/tray_constants.h"
#include "tray/tray_texts.h"
#include "tray/tray_window_proc.h"

namespace varnel::tray {

namespace {

bool handleTrayMessage(TrayCore& core, const platform::TrayWindowMessage& message) {
    switch (routeTrayMessage(message, core.shell->shellRestartMessage())) {
        case TrayAction::ShowMenu: showTrayMenu(core); return true;
        case TrayAction::ShowMainWindow: showMainWindowOf(core); return true;
        case TrayAction::Refresh: refreshTrayIcon(core); return true;
        case TrayAction::ShowBalloon: showPendingBalloon(core); return true;
        case TrayAction::RemoveIcon: removeTrayIcon(core); return true;
        case TrayAction::MenuCommand:
            actOnMenuChoice(core, static_cast<std::uint32_t>(message.wParam & 0xFFFF), takeMenuSnapshot(core));
            return true;
        case TrayAction::ShellRestarted:
            // The new shell knows none of the old icons: add ours again.
            core.iconAdded = false;
            refreshTrayIcon(core);
            return true;
        case TrayAction::Nothing: return true;
        case TrayAction::Default: return false;
    }
    return false;
}

// Holds the core for as long as the thread runs.
void trayThreadMain(const std::shared_ptr<TrayCore>& core) {
    TrayCore* self = core.get();
    const platform::TrayWindowClass window{kTrayWindowClass, kWmTrayCallback, kTrayIconResource};
    core->shell->createWindow(window, [self](const platform::TrayWindowMessage& message) {
        return handleTrayMessage(*self, message);
    });
    refreshTrayIcon(*core);
    core->shell->runMessageLoop();
}

}  // namespace

void ensureTrayThread(const std::shared_ptr<TrayCore>& core, platform::ThreadLauncher& threads) {
    if (core->trayThreadStarted.exchange(true)) {
        // Before the window exists nothing is posted: the thread refreshes once its window is there.
        core->shell->post(kWmTrayRefresh);
        return;
    }
    threads.startDetached([core] { trayThreadMain(core); });
}

bool showMainWindowOf(TrayCore& core) {
    if (!core.shell->showMainWindow(kMainWindowTitle)) return false;
    core.events->EmitAppWindowDidShow();
    return true;
}

void refreshTrayIcon(TrayCore& core) {
    bool visible;
    {
        std::lock_guard lock(core.trayMutex);
        visible = core.state.menuBarVisible;
    }
    if (!visible) {
        removeTrayIcon(core);
        return;
    }
    if (core.shell->nativeWindow() == 0) return;
    std::u16string tip;
    {
        std::lock_guard lock(core.trayMutex);
        tip = buildTooltipText(core.state);
    }
    // Where the desktop's panel shows the menu by itself, it holds the current one before the icon
    // shows and after every change, since each change of the state ends in a refresh.
    core.shell->setMenu(buildTrayMenu(takeMenuSnapshot(core)));
    if (core.iconAdded)
        core.shell->modifyIcon(tip);
    else
        core.iconAdded = core.shell->addIcon(tip);
}

void removeTrayIcon(TrayCore& core) {
    if (!core.iconAdded) return;
    core.shell->deleteIcon();
    core.iconAdded = false;
}

void showPendingBalloon(TrayCore& core) {
    std::u16string title, text;
    {
        std::lock_guard lock(core.trayMutex);
        title = core.state.balloonTitle;
        text = core.state.balloonText;
    }
    if ((title.empty() && text.empty()) || !core.iconAdded) return;
    core.shell->showBalloon(cutUnits(title, kBalloonTitleUnits), cutUnits(text, kBalloonTextUnits));
}

MenuSnapshot takeMenuSnapshot(TrayCore& core) {
    std::lock_guard lock(core.trayMutex);
    return {core.state.connected, core.state.serverLabel, core.state.dedicatedServers};
}

void showTrayMenu(TrayCore& core) {
    const MenuSnapshot shown = takeMenuSnapshot(core);
    const std::uint32_t id = core.shell->trackMenu(buildTrayMenu(shown));
    actOnMenuChoice(core, id, shown);
}

void actOnMenuChoice(TrayCore& core, std::uint32_t id, const MenuSnapshot& shown) {
    const MenuChoice choice = decodeMenuChoice(id, shown);
    if (choice.command == MenuCommand::None) return;
    if (choice.command == MenuCommand::Exit) {
        // Ends at once: no event, the tunnel keeps running, nothing is saved.
        removeTrayIcon(core);
        core.shell->exitProcess(0);
        return;
    }
    const TrayEvents& events = *core.events;
    switch (choice.command) {
        case MenuCommand::QuickConnect: sendMenuBarAction(events, "quickConnect", ""); break;
        case MenuCommand::Disconnect: sendMenuBarAction(events, "disconnect", ""); break;
        case MenuCommand::OpenApp:
            sendMenuBarAction(events, "openApp", "");
            showMainWindowOf(core);
            break;
        case MenuCommand::ConnectDedicated: sendMenuBarAction(events, "connectDedicated", choice.serverId); break;
        default: break;
    }
}

}  // namespace varnel::tray
