// Does what a second start of the application does to reach the first: posts WM_TRAY_SHOW_APP to the
// tray window found by its class. Ends with 0 when it was posted, 1 when no tray window was reachable.

#include "platform/tray_shell.h"
#include "tray/tray_constants.h"

int main() {
    return varnel::platform::postToRunningTrayWindow(varnel::tray::kTrayWindowClass, varnel::tray::kWmTrayShowApp) ? 0 : 1;
}
