#include "app/desktop_tray_shell.h"

namespace varnel {

namespace {

// Shared like the shell it wraps; both members are set once and only read.
class DesktopTrayShell final : public platform::TrayShell {
public:
    DesktopTrayShell(std::shared_ptr<platform::TrayShell> system, std::shared_ptr<platform::DesktopWindow> window)
        : system_(std::move(system)), window_(std::move(window)) {}

    bool createWindow(const platform::TrayWindowClass& setup, platform::TrayMessageHandler handler) override {
        return system_->createWindow(setup, std::move(handler));
    }
    void runMessageLoop() override { system_->runMessageLoop(); }
    void quit() override { system_->quit(); }
    bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        return system_->post(message, wParam, lParam);
    }
    std::uintptr_t nativeWindow() const override { return system_->nativeWindow(); }
    std::uint32_t shellRestartMessage() const override { return system_->shellRestartMessage(); }
    bool addIcon(std::u16string_view tip) override { return system_->addIcon(tip); }
    bool modifyIcon(std::u16string_view tip) override { return system_->modifyIcon(tip); }
    void deleteIcon() override { system_->deleteIcon(); }
    void showBalloon(std::u16string_view title, std::u16string_view text) override { system_->showBalloon(title, text); }
    std::uint32_t trackMenu(const std::vector<platform::TrayMenuEntry>& menu) override { return system_->trackMenu(menu); }
    void setMenu(const std::vector<platform::TrayMenuEntry>& menu) override { system_->setMenu(menu); }
    void exitProcess(std::uint32_t code) override { system_->exitProcess(code); }

    // Posted, not awaited, so no caller ever waits on the window thread; whatever the caller sends
    // next to the page is posted after it. The task holds the window weakly: a window that keeps
    // its own pending tasks would otherwise keep itself alive through them.
    bool showMainWindow(std::u16string_view) override {
        window_->post([window = std::weak_ptr(window_)] {
            if (const auto shown = window.lock()) shown->present();
        });
        return true;
    }

private:
    std::shared_ptr<platform::TrayShell> system_;
    std::shared_ptr<platform::DesktopWindow> window_;
};

}  // namespace

std::shared_ptr<platform::TrayShell> desktopTrayShell(std::shared_ptr<platform::TrayShell> system,
                                                      std::shared_ptr<platform::DesktopWindow> window) {
    return std::make_shared<DesktopTrayShell>(std::move(system), std::move(window));
}

}  // namespace varnel
