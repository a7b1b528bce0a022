#pragma once
// A tray shell that records what the tray asks of the system and answers as a test tells it: whether
// the shell takes the icon, whether a main window exists, which menu id the user picks. Its window
// is a message queue run on the real tray thread, so posting and ordering are exercised for real.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/tray_shell.h"

namespace varnel::test {

struct ShellCall {
    std::string what;  // "add", "modify", "delete", "balloon", "menu", "showMainWindow", "exit"
    std::u16string first;   // tooltip, balloon title, window title
    std::u16string second;  // balloon text
    std::uint32_t code = 0;  // exit code
};

class FakeTrayShell final : public platform::TrayShell {
public:
    static constexpr std::uint32_t kRestartMessage = 0xC123;

    // What the shell answers.
    void acceptIcon(bool accept) { set(acceptIcon_, accept); }
    void mainWindowPresent(bool present) { set(mainWindow_, present); }
    void chooseFromMenu(std::uint32_t id) { set(menuChoice_, id); }
    void failWindowCreation() { set(failCreate_, true); }

    std::vector<ShellCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<platform::TrayMenuEntry> lastMenu() const {
        std::lock_guard lock(mutex_);
        return lastMenu_;
    }
    // Every menu handed to setMenu, oldest first (kept apart from calls(), which Windows also makes).
    std::vector<std::vector<platform::TrayMenuEntry>> publishedMenus() const {
        std::lock_guard lock(mutex_);
        return publishedMenus_;
    }
    int windowsCreated() const {
        std::lock_guard lock(mutex_);
        return windowsCreated_;
    }
    platform::TrayWindowClass lastWindowClass() const {
        std::lock_guard lock(mutex_);
        return windowClass_;
    }
    void clearCalls() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

    // Waits until the tray thread has handled everything posted before; false when it never does
    // (no window, or the loop has ended).
    bool sync() {
        std::unique_lock lock(mutex_);
        if (!window_) return false;
        const std::uint64_t ticket = ++syncPosted_;
        queue_.push_back({kSyncMessage, 0, 0});
        changed_.notify_all();
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return syncDone_ >= ticket || ended_; }) &&
               syncDone_ >= ticket;
    }

    bool createWindow(const platform::TrayWindowClass& windowClass, platform::TrayMessageHandler handler) override {
        std::lock_guard lock(mutex_);
        ++windowsCreated_;
        windowClass_ = windowClass;
        if (failCreate_) return false;
        handler_ = std::move(handler);
        window_ = true;
        return true;
    }

    void runMessageLoop() override {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_) break;
            const platform::TrayWindowMessage message = queue_.front();
            queue_.pop_front();
            if (message.message == kSyncMessage) {
                ++syncDone_;
                changed_.notify_all();
                continue;
            }
            lock.unlock();
            handler_(message);
            lock.lock();
        }
        ended_ = true;
        changed_.notify_all();
    }

    void quit() override {
        std::lock_guard lock(mutex_);
        quit_ = true;
        changed_.notify_all();
    }

    bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(mutex_);
        if (!window_ || ended_) return false;
        queue_.push_back({message, wParam, lParam});
        changed_.notify_all();
        return true;
    }

    std::uintptr_t nativeWindow() const override {
        std::lock_guard lock(mutex_);
        return window_ ? 0x1234 : 0;
    }
    std::uint32_t shellRestartMessage() const override { return kRestartMessage; }

    bool addIcon(std::u16string_view tip) override {
        record("add", tip);
        return get(acceptIcon_);
    }
    bool modifyIcon(std::u16string_view tip) override {
        record("modify", tip);
        return get(acceptIcon_);
    }
    void deleteIcon() override { record("delete"); }
    void showBalloon(std::u16string_view title, std::u16string_view text) override { record("balloon", title, text); }
    std::uint32_t trackMenu(const std::vector<platform::TrayMenuEntry>& menu) override {
        std::lock_guard lock(mutex_);
        calls_.push_back({"menu", {}, {}, 0});
        lastMenu_ = menu;
        return menuChoice_;
    }
    void setMenu(const std::vector<platform::TrayMenuEntry>& menu) override {
        std::lock_guard lock(mutex_);
        publishedMenus_.push_back(menu);
    }
    bool showMainWindow(std::u16string_view title) override {
        record("showMainWindow", title);
        return get(mainWindow_);
    }
    void exitProcess(std::uint32_t code) override { record("exit", {}, {}, code); }

private:
    static constexpr std::uint32_t kSyncMessage = 0xFFFF0001;

    template <class T>
    void set(T& field, T value) {
        std::lock_guard lock(mutex_);
        field = value;
    }
    template <class T>
    T get(const T& field) const {
        std::lock_guard lock(mutex_);
        return field;
    }
    void record(std::string what, std::u16string_view first = {}, std::u16string_view second = {},
                std::uint32_t code = 0) {
        std::lock_guard lock(mutex_);
        calls_.push_back({std::move(what), std::u16string(first), std::u16string(second), code});
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<platform::TrayWindowMessage> queue_;
    platform::TrayMessageHandler handler_;
    platform::TrayWindowClass windowClass_;
    std::vector<ShellCall> calls_;
    std::vector<platform::TrayMenuEntry> lastMenu_;
    std::vector<std::vector<platform::TrayMenuEntry>> publishedMenus_;
    bool acceptIcon_ = true;
    bool mainWindow_ = true;
    bool failCreate_ = false;
    std::uint32_t menuChoice_ = 0;
    int windowsCreated_ = 0;
    bool window_ = false;
    bool quit_ = false;
    bool ended_ = false;
    std::uint64_t syncPosted_ = 0;
    std::uint64_t syncDone_ = 0;
};

}  // namespace varnel::test
