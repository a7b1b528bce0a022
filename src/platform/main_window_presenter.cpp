#include "platform/main_window_presenter.h"

#include <memory>
#include <mutex>

namespace varnel::platform {

namespace {

// The one process-wide hook: the desktop application sets it, the tray calls it. The mutex guards
// the pointer only; the presenter runs on a copy, so it may set a new presenter itself.
struct PresenterSlot {
    std::mutex mutex;
    std::shared_ptr<const MainWindowPresenter> presenter;
};

// Never destroyed: a detached tray thread may still reach it while the process exits.
PresenterSlot& slot() {
    static auto* const instance = new PresenterSlot;
    return *instance;
}

}  // namespace

void setMainWindowPresenter(MainWindowPresenter presenter) {
    std::shared_ptr<const MainWindowPresenter> next;
    if (presenter) next = std::make_shared<const MainWindowPresenter>(std::move(presenter));
    {
        std::lock_guard lock(slot().mutex);
        slot().presenter.swap(next);
    }
    // The old presenter goes here, outside the lock, in case its captures do work as they end.
}

bool presentMainWindow() {
    std::shared_ptr<const MainWindowPresenter> presenter;
    {
        std::lock_guard lock(slot().mutex);
        presenter = slot().presenter;
    }
    return presenter && (*presenter)();
}

}  // namespace varnel::platform
