// The named mutex of the session; a later start reaches the first instance through its tray window,
// which hears the show message itself, or else through the main window found by title.

#include "platform/single_instance.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/tray_shell.h"

namespace varnel::platform {

namespace {

class MutexClaim final : public InstanceClaim {
public:
    explicit MutexClaim(HANDLE mutex) : mutex_(mutex) {}
    ~MutexClaim() override { CloseHandle(mutex_); }
    // The tray window receives the show message itself.
    void deliverShowRequests(std::function<void()>) override {}

private:
    HANDLE mutex_;
};

}  // namespace

InstanceStart claimSingleInstance(const SingleInstanceSetup& setup) {
    const std::u16string name = utf8ToWide(setup.name);
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, reinterpret_cast<const wchar_t*>(name.c_str()));
    if (mutex == nullptr) return {};
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {InstanceRole::First, std::make_unique<MutexClaim>(mutex)};
    CloseHandle(mutex);
    AllowSetForegroundWindow(ASFW_ANY);
    if (!postToRunningTrayWindow(setup.trayWindowClass, setup.showAppMessage)) systemTrayShell()->showMainWindow(setup.mainWindowTitle);
    return {InstanceRole::Second, nullptr};
}

}  // namespace varnel::platform
