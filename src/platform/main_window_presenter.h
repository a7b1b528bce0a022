#pragma once
// How the tray reaches the main window where no system call finds a window by its title (Linux):
// the desktop application registers a presenter when it has made its window.

#include <functional>

namespace varnel::platform {

// Shows the main window and brings it forward; false when there is no main window (yet). Called on
// the tray thread or on the interface's calling thread, so a presenter hands the work to the thread
// that owns the window.
using MainWindowPresenter = std::function<bool()>;

// Any thread. Replaces the presenter; an empty one removes it.
void setMainWindowPresenter(MainWindowPresenter presenter);

// Any thread. Runs the presenter outside any lock; false when none is set.
bool presentMainWindow();

}  // namespace varnel::platform
