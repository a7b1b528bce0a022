#include "support/environment.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/text.h"
#else
#include <cstdlib>
#endif

namespace varnel::test {

#ifdef _WIN32
void setEnvironmentVariable(const std::string& name, const std::string& value) {
    const std::u16string wideName = platform::utf8ToWide(name), wideValue = platform::utf8ToWide(value);
    SetEnvironmentVariableW(reinterpret_cast<LPCWSTR>(wideName.c_str()), reinterpret_cast<LPCWSTR>(wideValue.c_str()));
}

std::string sessionBusNeededButMissing() { return {}; }

std::string desktopMissingReason() {
    const HWND probe = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) return "no top-level windows can be made here (run the Windows tests under xvfb-run)";
    DestroyWindow(probe);
    return {};
}
#else
void setEnvironmentVariable(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

std::string sessionBusNeededButMissing() {
    return std::getenv("DBUS_SESSION_BUS_ADDRESS") ? "" : "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
}

std::string desktopMissingReason() { return {}; }
#endif

}  // namespace varnel::test
