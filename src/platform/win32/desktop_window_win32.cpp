// The main window on Windows: an overlapped window that the tray and a later start find by its title,
// run by the message loop of the thread that made it. No web engine can be had for this build, so
// what it shows is a plain text control.

#include "platform/desktop_window.h"

#include <windows.h>
#include <objbase.h>

#include <deque>
#include <mutex>

#include "platform/text.h"

namespace varnel::platform {

namespace {

constexpr wchar_t kWindowClass[] = L"VarnelMainWindow";
// Posted to the window when tasks wait in its queue.
constexpr UINT kRunTasks = WM_APP + 1;
constexpr int kTextMargin = 16;

std::wstring wide(std::string_view utf8) {
    const std::u16string units = utf8ToWide(utf8);
    return std::wstring(units.begin(), units.end());
}

// A static control reads a lone LF as a line break, but an edit or a copy of the text does not.
std::wstring withCrLf(std::string_view utf8) {
    std::wstring out;
    for (wchar_t c : wide(utf8)) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

// Created and used on the window thread, except post() and quit(); mutex_ guards tasks_.
class Win32DesktopWindow final : public DesktopWindow, public WindowContent {
public:
    Win32DesktopWindow(const DesktopWindowSetup& setup, DesktopWindowEvents events)
        : events_(std::move(events)), minWidth_(setup.minWidth), minHeight_(setup.minHeight) {}

    ~Win32DesktopWindow() override {
        if (window_ != nullptr) DestroyWindow(window_);
        for (HICON icon : {bigIcon_, smallIcon_})
            if (icon != nullptr) DestroyIcon(icon);
    }

    bool create(const DesktopWindowSetup& setup) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExW(&windowClass);  // a class left registered from before serves as well
        const std::wstring title = wide(setup.title);
        // The size given is the outer size, frame and caption included.
        window_ = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, setup.width,
                                  setup.height, nullptr, nullptr, instance, this);
        if (window_ == nullptr) return false;
        text_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window_, nullptr,
                                instance, nullptr);
        SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        placeText();
        if (setup.iconResource != 0) {
            bigIcon_ = setIcon(instance, setup.iconResource, ICON_BIG, SM_CXICON, SM_CYICON);
            smallIcon_ = setIcon(instance, setup.iconResource, ICON_SMALL, SM_CXSMICON, SM_CYSMICON);
        }
        return true;
    }

    WindowContent& content() override { return *this; }
    void hide() override { ShowWindow(window_, SW_HIDE); }
    void present() override {
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
    }
    bool foundByTitle() const override { return true; }

    void run() override {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    void quit() override {
        post([] { PostQuitMessage(0); });
    }

    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        PostMessageW(window_, kRunTasks, 0, 0);
    }

    // There is no web engine to run a page in, so a page is named rather than shown.
    void showPage(std::string_view, std::string_view baseUri) override {
        showText("This build has no web view to show the page from " + std::string(baseUri) + " in.\n");
    }
    // Nothing runs a script where only text is shown.
    void runScript(std::string_view) override {}
    void showText(std::string_view text) override { SetWindowTextW(text_, withCrLf(text).c_str()); }
    bool hasWebView() const override { return false; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        // Messages sent while the window is being made (the first size question among them) come
        // before its owner is known, and get the defaults.
        auto* self = reinterpret_cast<Win32DesktopWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
        switch (message) {
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {self->minWidth_, self->minHeight_};
            return 0;
        }
        case WM_SIZE:
            self->placeText();
            return 0;
        case WM_CLOSE:
            // The window is never destroyed by a close: the handler decides what becomes of it.
            if (self->events_.closeRequested) self->events_.closeRequested();
            return 0;
        case kRunTasks:
            self->runTasks();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    // Every task queued so far runs; tasks posted meanwhile have a message of their own behind.
    void runTasks() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(tasks_);
        }
        for (auto& task : batch) task();
    }

    void placeText() {
        if (text_ == nullptr) return;
        RECT client{};
        GetClientRect(window_, &client);
        MoveWindow(text_, kTextMargin, kTextMargin, std::max(0L, client.right - 2 * kTextMargin),
                   std::max(0L, client.bottom - 2 * kTextMargin), TRUE);
    }

    // An icon that cannot be loaded is skipped: the window keeps the system's default.
    HICON setIcon(HINSTANCE instance, std::uint16_t resource, WPARAM which, int widthMetric, int heightMetric) {
        const auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_ICON,
                                                        GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), 0));
        if (icon != nullptr) SendMessageW(window_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
        return icon;
    }

    DesktopWindowEvents events_;
    const LONG minWidth_;
    const LONG minHeight_;
    HWND window_ = nullptr;
    HWND text_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace

void prepareDesktopProcess() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Looked up rather than imported, so that a system without it still starts the program; what
    // it answers does not matter.
    using SetAwareness = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    if (const HMODULE user32 = GetModuleHandleW(L"user32.dll"); user32 != nullptr) {
        if (const FARPROC found = GetProcAddress(user32, "SetProcessDpiAwarenessContext"); found != nullptr)
            reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(found))(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
}

std::shared_ptr<DesktopWindow> createDesktopWindow(const DesktopWindowSetup& setup, DesktopWindowEvents events, std::string& failure) {
    auto window = std::make_shared<Win32DesktopWindow>(setup, std::move(events));
    if (!window->create(setup)) {
        failure = "The main window cannot be made (error " + std::to_string(GetLastError()) + ").";
        return nullptr;
    }
    return window;
}

// The common dialog runs on the thread that asks for it, as in every other host.
std::shared_ptr<FileDialog> desktopFileDialog() { return systemFileDialog(); }

}  // namespace varnel::platform
