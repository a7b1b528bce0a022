#include "tray/tray_methods.h"

#include "app/runtime.h"
#include "tray/menu_description.h"
#include "tray/tray_constants.h"
#include "tray/tray_texts.h"
#include "tray/tray_thread.h"

namespace varnel::tray {

bool setMenuBarVisible(const std::shared_ptr<Runtime>& runtime, bool visible) {
    TrayCore& core = *runtime->tray.core();
    {
        std::lock_guard lock(core.trayMutex);
        core.state.menuBarVisible = visible;
    }
    ensureTrayThread(runtime);
    return visible;
}

bool updateMenuBarMenu(const std::shared_ptr<Runtime>& runtime, std::string_view menu) {
    TrayCore& core = *runtime->tray.core();
    {
        std::lock_guard lock(core.trayMutex);
        parseMenuBarJson(core.state, menu);
    }
    ensureTrayThread(runtime);
    return true;
}

void showBackgroundNotice(const std::shared_ptr<Runtime>& runtime) {
    const std::shared_ptr<TrayCore> core = runtime->tray.core();
    bool connected;
    {
        std::lock_guard lock(core->trayMutex);
        connected = core->state.connected;
        if (connected) {
            core->state.balloonTitle = kBalloonTitle;
            core->state.balloonText = backgroundNoticeText(core->state.serverLabel);
        } else {
            core->state.balloonTitle.clear();
            core->state.balloonText.clear();
        }
    }
    ensureTrayThread(runtime);
    // Queued behind the refresh just posted; dropped while the window does not exist yet.
    if (connected) core->shell->post(kWmTrayBalloon);
}

bool showMainWindow(Runtime& runtime) {
    if (!runtime.tray.core()->shell->showMainWindow(kMainWindowTitle)) return false;
    runtime.events.EmitAppWindowDidShow();
    return true;
}

}  // namespace varnel::tray
