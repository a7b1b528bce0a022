#include "platform/thread.h"

#include <process.h>
#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace varnel::platform {

namespace {

unsigned __stdcall threadMain(void* parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

class Win32ThreadLauncher final : public ThreadLauncher {
public:
    bool startDetached(std::function<void()> body) override {
        auto parameter = std::make_unique<std::function<void()>>(std::move(body));
        // The C runtime's thread start, so that the runtime's per-thread state is set up.
        const uintptr_t handle = _beginthreadex(nullptr, 0, threadMain, parameter.get(), 0, nullptr);
        if (handle == 0) return false;  // _beginthreadex fails with 0
        // The thread runs detached: its handle is closed at once.
        const UniqueHandle thread(reinterpret_cast<HANDLE>(handle));
        parameter.release();  // the thread owns it now
        return true;
    }
};

}  // namespace

std::shared_ptr<ThreadLauncher> systemThreadLauncher() { return std::make_shared<Win32ThreadLauncher>(); }

}  // namespace varnel::platform
