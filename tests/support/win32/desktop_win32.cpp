#include "support/desktop.h"

#include <windows.h>

std::string varnel::test::desktopMissingReason() {
    const HWND probe = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) return "no top-level windows can be made here (run the Windows tests under xvfb-run)";
    DestroyWindow(probe);
    return {};
}
