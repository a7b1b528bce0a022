#include "tray/tray.h"

#include "tray/menu_description.h"
#include "tray/tray_constants.h"
#include "tray/tray_texts.h"
#include "tray/tray_thread.h"

namespace varnel::tray {

Tray::Tray(std::shared_ptr<platform::TrayShell> shell, std::shared_ptr<const TrayEvents> events,
           std::shared_ptr<platform::ThreadLauncher> threads)
    : core_(std::make_shared<TrayCore>(std::move(shell), std::move(events))), threads_(std::move(threads)) {}

Tray::~Tray() {
    if (core_->trayThreadStarted) core_->shell->quit();
}

void Tray::ensureThread() { ensureTrayThread(core_, *threads_); }

bool Tray::setMenuBarVisible(bool visible) {
    {
        std::lock_guard lock(core_->trayMutex);
        core_->state.menuBarVisible = visible;
    }
    ensureThread();
    return visible;
}

bool Tray::updateMenuBarMenu(std::string_view menu) {
    {
        std::lock_guard lock(core_->trayMutex);
        parseMenuBarJson(core_->state, menu);
    }
    ensureThread();
    return true;
}

void Tray::showBackgroundNotice() {
    bool connected;
    {
        std::lock_guard lock(core_->trayMutex);
        connected = core_->state.connected;
        if (connected) {
            core_->state.balloonTitle = kBalloonTitle;
            core_->state.balloonText = backgroundNoticeText(core_->state.serverLabel);
        } else {
            core_->state.balloonTitle.clear();
            core_->state.balloonText.clear();
        }
    }
    ensureThread();
    // Queued behind the refresh just posted; dropped while the window does not exist yet.
    if (connected) core_->shell->post(kWmTrayBalloon);
}

bool Tray::showMainWindow() { return showMainWindowOf(*core_); }

}  // namespace varnel::tray
