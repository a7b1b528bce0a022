#include "support/desktop.h"

namespace varnel::test {

struct StandInWindow::Impl {};

std::string desktopMissingReason() { return {}; }
bool shellShowsIcons() { return false; }

StandInWindow::StandInWindow(const std::u16string&) {}
StandInWindow::~StandInWindow() = default;
bool StandInWindow::valid() const { return false; }
bool StandInWindow::visible() const { return false; }

bool shellHasIcon(std::uintptr_t) { return false; }
void dropIconFromShell(std::uintptr_t) {}

}  // namespace varnel::test
