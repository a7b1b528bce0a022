#include "support/desktop.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <future>
#include <thread>

namespace varnel::test {

namespace {

const wchar_t kStandInClass[] = L"VarnelTestStandInWindow";

NOTIFYICONDATAW iconOf(std::uintptr_t window) {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = reinterpret_cast<HWND>(window);
    record.uID = 1;
    return record;
}

}  // namespace

std::string desktopMissingReason() {
    const HWND probe = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) return "no top-level windows can be made here (run the Windows tests under xvfb-run)";
    DestroyWindow(probe);
    return {};
}

bool shellShowsIcons() { return true; }

struct StandInWindow::Impl {
    std::thread thread;
    std::atomic<HWND> window{nullptr};
    std::atomic<DWORD> threadId{0};
};

StandInWindow::StandInWindow(const std::u16string& title) : impl_(std::make_unique<Impl>()) {
    std::promise<void> ready;
    impl_->thread = std::thread([impl = impl_.get(), title, &ready] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kStandInClass;
        RegisterClassW(&windowClass);
        const HWND window = CreateWindowExW(0, kStandInClass, reinterpret_cast<const wchar_t*>(title.c_str()),
                                            WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                            GetModuleHandleW(nullptr), nullptr);
        MSG peek;
        PeekMessageW(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        impl->threadId = GetCurrentThreadId();
        impl->window = window;
        ready.set_value();
        if (window == nullptr) return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        DestroyWindow(window);
    });
    ready.get_future().wait();
}

StandInWindow::~StandInWindow() {
    PostThreadMessageW(impl_->threadId, WM_QUIT, 0, 0);
    impl_->thread.join();
}

bool StandInWindow::valid() const { return impl_->window != nullptr; }
bool StandInWindow::visible() const { return impl_->window != nullptr && IsWindowVisible(impl_->window); }

bool shellHasIcon(std::uintptr_t window) {
    NOTIFYICONDATAW record = iconOf(window);
    return Shell_NotifyIconW(NIM_MODIFY, &record);
}

void dropIconFromShell(std::uintptr_t window) {
    NOTIFYICONDATAW record = iconOf(window);
    Shell_NotifyIconW(NIM_DELETE, &record);
}

}  // namespace varnel::test
