#pragma once
// A tray shell that records what the tray asks of the system, a line a call ("add TIP", "modify TIP", "delete",
// "balloon TITLE | TEXT", "menu STATUS LINE", "showMainWindow TITLE", "exit CODE"). Its window is a real
// message queue run on the tray thread; its loop ends with destroy.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/tray_shell.h"

namespace varnel::test {

class FakeTrayShell final : public platform::TrayShell {
    template <class F>
    auto locked(F f) const {
        std::lock_guard lock(mutex_);
        return f();
    }

public:
    static constexpr std::uint32_t kRestartMessage = 0xC123;

    // A tracked menu answers the item labelled menuChoice as a user picks it: never a greyed one.
    std::atomic<bool> acceptsIcon{true}, hasMainWindow{true};
    std::u16string menuChoice;

    std::vector<std::string> calls() const { return locked([&] { return calls_; }); }
    int windowsCreated() const { return locked([&] { return windowsCreated_; }); }

    // Waits until all posted so far is handled; false without a window, or when a handler hangs.
    bool sync() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return window_ == 0 || queue_.empty(); }) && window_ != 0;
    }

    bool createWindow(const platform::TrayWindowClass&, platform::TrayMessageHandler handler) override {
        std::lock_guard lock(mutex_);
        ++windowsCreated_;
        handler_ = std::move(handler);
        window_ = 0x1234;
        return true;
    }
    void runMessageLoop() override {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(lock, [&] { return quit_ || !queue_.empty(); });
            if (quit_) break;
            const platform::TrayWindowMessage message = queue_.front();
            lock.unlock();
            handler_(message);
            lock.lock();
            queue_.pop_front();
            changed_.notify_all();
        }
        window_ = 0;
        changed_.notify_all();
        lock.unlock();
        handler_({0x0002 /* destroy */, 0, 0});
    }
    void quit() override { locked([&] { quit_ = true; changed_.notify_all(); }); }
    bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(mutex_);
        if (window_ != 0) queue_.push_back({message, wParam, lParam});
        changed_.notify_all();
        return window_ != 0;
    }
    std::uintptr_t nativeWindow() const override { return locked([&] { return window_; }); }
    std::uint32_t shellRestartMessage() const override { return kRestartMessage; }

    bool addIcon(std::u16string_view tip) override { record("add " + text(tip)); return acceptsIcon; }
    bool modifyIcon(std::u16string_view tip) override { record("modify " + text(tip)); return acceptsIcon; }
    void deleteIcon() override { record("delete"); }
    void showBalloon(std::u16string_view title, std::u16string_view body) override { record("balloon " + text(title) + " | " + text(body)); }
    std::uint32_t trackMenu(const std::vector<platform::TrayMenuEntry>& menu) override { record("menu " + text(menu.at(0).text)); return pick(menu); }
    void setMenu(const std::vector<platform::TrayMenuEntry>&) override {}
    bool showMainWindow(std::u16string_view title) override { record("showMainWindow " + text(title)); return hasMainWindow; }
    void exitProcess(std::uint32_t code) override { record("exit " + std::to_string(code)); }

private:
    static std::string text(std::u16string_view wide) { return platform::wideToUtf8(wide); }
    void record(std::string call) { locked([&] { calls_.push_back(std::move(call)); }); }
    std::uint32_t pick(const std::vector<platform::TrayMenuEntry>& menu) const {
        for (const platform::TrayMenuEntry& entry : menu)
            if (const std::uint32_t id = entry.text == menuChoice ? entry.id : pick(entry.submenu); id != 0 && (entry.flags & 0x3) == 0) return id;
        return 0;  // not there, or greyed (0x1) or disabled (0x2)
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<platform::TrayWindowMessage> queue_;
    platform::TrayMessageHandler handler_;
    std::vector<std::string> calls_;
    int windowsCreated_ = 0;
    std::uintptr_t window_ = 0;
    bool quit_ = false;
};

}  // namespace varnel::test
