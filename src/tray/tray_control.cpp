#include "tray/tray_control.h"

namespace varnel::tray {

TrayControl::TrayControl() : core_(std::make_shared<TrayCore>(platform::systemTrayShell())) {}

TrayControl::~TrayControl() {
    if (core_->trayThreadStarted) core_->shell->quit();
}

void TrayControl::useShell(std::shared_ptr<platform::TrayShell> shell) {
    core_ = std::make_shared<TrayCore>(std::move(shell));
}

}  // namespace varnel::tray
