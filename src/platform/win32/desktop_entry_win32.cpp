// The desktop application's entry on the GUI subsystem. Windows Sockets start with the program's
// static objects, before the entry point, and are cleaned up at exit.

#include <windows.h>

#include "platform/console.h"
#include "platform/desktop_entry.h"
#include "platform/win32/winsock_session.h"

namespace {
const bool winsockStarted = (varnel::platform::ensureWinsock(), true);
}  // namespace

// The instance handle is the executable's, which GetModuleHandleW(nullptr) gives wherever its icon
// is loaded; the arguments come from the wide command line.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return varnel::desktopMain(varnel::platform::commandLineArguments(0, nullptr)); }
