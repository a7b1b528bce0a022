// Linux has no notification area of its own here: showing the icon belongs to the windowed host.
// Until then the tray behaves as on a Windows machine whose shell refuses the icon. The window is a
// message queue, so the tray thread, its posts and its handling run as they do on Windows.

#include "platform/tray_shell.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace varnel::platform {

namespace {

constexpr std::uint32_t kWmDestroy = 0x0002;

// Created by the runtime, then driven by the tray thread; mutex_ guards queue_ and quit_, handler_
// is the tray thread's once the window exists.
class PosixTrayShell final : public TrayShell {
public:
    bool createWindow(const TrayWindowClass&, TrayMessageHandler handler) override {
        handler_ = std::move(handler);
        window_ = reinterpret_cast<std::uintptr_t>(this);
        return true;
    }

    void runMessageLoop() override {
        for (;;) {
            TrayWindowMessage message;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
                if (quit_) break;
                message = queue_.front();
                queue_.pop_front();
            }
            if (handler_) handler_(message);
        }
        const std::uintptr_t window = window_.exchange(0);
        if (window != 0 && handler_) handler_({kWmDestroy, 0, 0});
    }

    void quit() override {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
    }

    bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (window_ == 0) return false;
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({message, wParam, lParam});
        }
        changed_.notify_all();
        return true;
    }

    std::uintptr_t nativeWindow() const override { return window_; }
    std::uint32_t shellRestartMessage() const override { return 0; }

    bool addIcon(std::u16string_view) override { return false; }
    bool modifyIcon(std::u16string_view) override { return false; }
    void deleteIcon() override {}
    void showBalloon(std::u16string_view, std::u16string_view) override {}
    std::uint32_t trackMenu(const std::vector<TrayMenuEntry>&) override { return 0; }
    bool showMainWindow(std::u16string_view) override { return false; }
    void exitProcess(std::uint32_t code) override { ::_exit(static_cast<int>(code)); }

private:
    TrayMessageHandler handler_;
    std::atomic<std::uintptr_t> window_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TrayWindowMessage> queue_;
    bool quit_ = false;
};

}  // namespace

std::shared_ptr<TrayShell> systemTrayShell() { return std::make_shared<PosixTrayShell>(); }

// The first instance's tray is not reachable from other processes on Linux yet.
bool postToRunningTrayWindow(std::u16string_view, std::uint32_t) { return false; }

}  // namespace varnel::platform
