#include "platform/tray_shell.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>

namespace varnel::platform {

namespace {

static_assert(sizeof(NOTIFYICONDATAW) == 976, "the icon record is the full current structure");

const wchar_t* wide(std::u16string_view text, std::u16string& storage) {
    storage.assign(text);
    return reinterpret_cast<const wchar_t*>(storage.c_str());
}

// The record's text fields are fixed arrays: the copy truncates and always ends with a NUL.
template <std::size_t N>
void copyTruncated(WCHAR (&field)[N], std::u16string_view text) {
    const std::size_t count = std::min(text.size(), N - 1);
    std::copy_n(reinterpret_cast<const WCHAR*>(text.data()), count, field);
    field[count] = L'\0';
}

// Owned by the runtime's tray core. The window handle and the thread id are published atomically
// for other threads' posts; the icon record and the handler are the tray thread's alone.
class Win32TrayShell final : public TrayShell {
public:
    ~Win32TrayShell() override {
        if (ownIcon_ != nullptr) DestroyIcon(ownIcon_);
    }

    bool createWindow(const TrayWindowClass& trayWindow, TrayMessageHandler handler) override {
        handler_ = std::move(handler);
        callbackMessage_ = trayWindow.callbackMessage;
        iconResource_ = trayWindow.iconResource;
        // The thread's queue exists from here on, so quit() reaches it even without a window.
        MSG peek;
        PeekMessageW(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        threadId_ = GetCurrentThreadId();
        restartMessage_ = RegisterWindowMessageW(L"TaskbarCreated");

        const HINSTANCE instance = GetModuleHandleW(nullptr);
        std::u16string className;
        WNDCLASSW windowClass{};
        windowClass.style = 0;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = wide(trayWindow.windowClass, className);
        RegisterClassW(&windowClass);  // a class left registered from before serves as well

        const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                            nullptr, nullptr, instance, nullptr);
        if (window == nullptr) return false;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = window;
        return true;
    }

    // The window is always destroyed here, on its own thread, while this shell still exists: a window
    // left to die with its thread would reach a shell that is gone.
    void runMessageLoop() override {
        MSG message;
        if (!quitRequested_) {
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (const HWND window = window_.exchange(nullptr); window != nullptr) DestroyWindow(window);
    }

    // A quit that comes before the thread's queue exists is kept in the flag; one that comes later
    // reaches the queue.
    void quit() override {
        quitRequested_ = true;
        if (const DWORD thread = threadId_; thread != 0) PostThreadMessageW(thread, WM_QUIT, 0, 0);
    }

    bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        const HWND window = window_;
        // A menu command of our own carries this process's secret, so that one another process posts
        // (which any process of the session may) is not taken for the user's choice.
        if (message == WM_COMMAND && lParam == 0) lParam = commandCookie_;
        return window != nullptr && PostMessageW(window, message, wParam, lParam);
    }

    std::uintptr_t nativeWindow() const override { return reinterpret_cast<std::uintptr_t>(window_.load()); }
    std::uint32_t shellRestartMessage() const override { return restartMessage_; }

    bool addIcon(std::u16string_view tip) override {
        fillRecord(tip);
        return Shell_NotifyIconW(NIM_ADD, &record_);
    }

    bool modifyIcon(std::u16string_view tip) override {
        fillRecord(tip);
        return Shell_NotifyIconW(NIM_MODIFY, &record_);
    }

    void deleteIcon() override { Shell_NotifyIconW(NIM_DELETE, &record_); }

    void showBalloon(std::u16string_view title, std::u16string_view text) override {
        // Only the copy carries NIF_INFO, so a later refresh does not show the balloon again.
        NOTIFYICONDATAW balloon = record_;
        balloon.uFlags |= NIF_INFO;
        balloon.dwInfoFlags = NIIF_INFO;
        copyTruncated(balloon.szInfoTitle, title);
        copyTruncated(balloon.szInfo, text);
        Shell_NotifyIconW(NIM_MODIFY, &balloon);
    }

    std::uint32_t trackMenu(const std::vector<TrayMenuEntry>& entries) override {
        const HMENU menu = CreatePopupMenu();
        if (menu == nullptr) return 0;
        appendEntries(menu, entries);
        const HWND window = window_;
        SetForegroundWindow(window);
        POINT cursor{};
        GetCursorPos(&cursor);
        const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, cursor.x, cursor.y,
                                           0, window, nullptr);
        PostMessageW(window, WM_NULL, 0, 0);
        DestroyMenu(menu);
        return static_cast<std::uint32_t>(chosen);
    }

    // The menu is built at each opening from what trackMenu is given.
    void setMenu(const std::vector<TrayMenuEntry>&) override {}

    bool showMainWindow(std::u16string_view title) override {
        std::u16string storage;
        const HWND window = FindWindowW(nullptr, wide(title, storage));
        if (window == nullptr) return false;
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        return true;
    }

    void exitProcess(std::uint32_t code) override { ExitProcess(code); }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Win32TrayShell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        // Another process's command: only a test run that asks for it may drive the menu this way.
        if (self != nullptr && message == WM_COMMAND && lParam == 0 && !self->acceptsPostedCommands_) return 0;
        if (self != nullptr && message == WM_COMMAND && lParam == self->commandCookie_) lParam = 0;
        if (self != nullptr && self->handler_ && self->handler_({message, wParam, lParam})) return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static void appendEntries(HMENU menu, const std::vector<TrayMenuEntry>& entries) {
        for (const TrayMenuEntry& entry : entries) {
            std::u16string text;
            UINT_PTR item = entry.id;
            if (entry.flags & MF_POPUP) {
                const HMENU submenu = CreatePopupMenu();
                if (submenu == nullptr) continue;
                appendEntries(submenu, entry.submenu);
                item = reinterpret_cast<UINT_PTR>(submenu);
            }
            AppendMenuW(menu, entry.flags, item, (entry.flags & MF_SEPARATOR) ? nullptr : wide(entry.text, text));
        }
    }

    // Loaded once and kept, so refreshes do not leak icon handles.
    HICON icon() {
        if (icon_ == nullptr) {
            ownIcon_ = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconResource_), IMAGE_ICON, 16, 16, 0));
            icon_ = ownIcon_ != nullptr ? ownIcon_ : LoadIconW(nullptr, IDI_APPLICATION);
        }
        return icon_;
    }

    void fillRecord(std::u16string_view tip) {
        ZeroMemory(&record_, sizeof record_);
        record_.cbSize = sizeof record_;
        record_.hWnd = window_;
        record_.uID = 1;
        record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        record_.uCallbackMessage = callbackMessage_;
        record_.hIcon = icon();
        copyTruncated(record_.szTip, tip);
    }

    TrayMessageHandler handler_;
    // Not a control's window handle (those are what WM_COMMAND carries there): odd, never a pointer.
    const LPARAM commandCookie_ = static_cast<LPARAM>((std::random_device()() << 1) | 1);
    const bool acceptsPostedCommands_ = GetEnvironmentVariableW(L"VARNEL_TEST_POSTED_TRAY_COMMANDS", nullptr, 0) != 0;
    std::atomic<HWND> window_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> quitRequested_{false};
    UINT restartMessage_ = 0;
    UINT callbackMessage_ = 0;
    std::uint16_t iconResource_ = 0;
    NOTIFYICONDATAW record_{};
    HICON icon_ = nullptr;
    HICON ownIcon_ = nullptr;
};

}  // namespace

std::shared_ptr<TrayShell> systemTrayShell() { return std::make_shared<Win32TrayShell>(); }

bool postToRunningTrayWindow(std::u16string_view windowClass, std::uint32_t message) {
    std::u16string storage;
    const HWND window = FindWindowW(wide(windowClass, storage), nullptr);
    return window != nullptr && PostMessageW(window, message, 0, 0);
}

}  // namespace varnel::platform
