#pragma once
// The operating system's side of the notification-area icon: one hidden window with its message
// queue, the icon with its tooltip and balloon, the popup menu, and the main window found by title.
// The tray logic decides what to do; this layer only does it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::platform {

// One message as the tray window receives it, with the system's numbers.
struct TrayWindowMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// True when the message was handled (the window answers 0); false hands it to the system's default.
using TrayMessageHandler = std::function<bool(const TrayWindowMessage&)>;

// One menu line. flags are the system's menu flags as given; a popup carries its items in submenu.
struct TrayMenuEntry {
    std::u16string text;
    std::uint32_t flags = 0;
    std::uint32_t id = 0;
    std::vector<TrayMenuEntry> submenu;

    friend bool operator==(const TrayMenuEntry&, const TrayMenuEntry&) = default;
};

// What the hidden window is made of.
struct TrayWindowClass {
    std::u16string_view windowClass;     // how a second start of the application finds the window
    std::uint32_t callbackMessage = 0;   // the message through which the shell reports on the icon
    std::uint16_t iconResource = 0;      // the executable's icon group shown in the notification area
};

// Created and driven on the tray thread, except where a method says "any thread". The window handle
// is published atomically once the window exists.
class TrayShell {
public:
    virtual ~TrayShell() = default;

    // Tray thread. Creates the hidden window whose messages go to handler; false when it cannot.
    virtual bool createWindow(const TrayWindowClass& trayWindow, TrayMessageHandler handler) = 0;
    // Tray thread. Dispatches messages until the loop is told to end; the window is then destroyed
    // (so the handler sees the destroy message) and the call returns.
    virtual void runMessageLoop() = 0;
    // Any thread. Ends the message loop of the thread that created the window, also one that has not
    // entered it yet.
    virtual void quit() = 0;

    // Any thread. Posts to the window; false when there is no window or the post fails.
    virtual bool post(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
    // Any thread. The window's handle as a number; 0 while there is none.
    virtual std::uintptr_t nativeWindow() const = 0;
    // The message the shell sends to every top-level window when it has restarted; 0 where none.
    virtual std::uint32_t shellRestartMessage() const = 0;

    // Tray thread. The icon record is filled anew with tip; true when the shell took the icon.
    virtual bool addIcon(std::u16string_view tip) = 0;
    virtual bool modifyIcon(std::u16string_view tip) = 0;
    virtual void deleteIcon() = 0;
    // Tray thread. Shows a balloon on the icon without keeping it in the icon's record.
    virtual void showBalloon(std::u16string_view title, std::u16string_view text) = 0;
    // Tray thread. Shows the menu at the cursor and returns the chosen id; 0 when it was dismissed or
    // could not be shown (always, where the desktop's panel shows the menu itself).
    virtual std::uint32_t trackMenu(const std::vector<TrayMenuEntry>& menu) = 0;
    // Tray thread. The menu as it stands now, for a desktop whose panel shows the icon's menu by
    // itself whenever the user asks (nothing where the menu is shown by trackMenu). A choice made
    // there comes back as the command message (0x0111) with the id in wParam and 0 in lParam.
    virtual void setMenu(const std::vector<TrayMenuEntry>& menu) = 0;

    // Any thread. Finds the main window by title, shows it and brings it to the foreground; false
    // when there is no such window (always on Linux, which has no such search).
    virtual bool showMainWindow(std::u16string_view title) = 0;
    // Ends the process at once with code; the real shells never return.
    virtual void exitProcess(std::uint32_t code) = 0;
};

std::shared_ptr<TrayShell> systemTrayShell();

// What a second start of the application does to reach the first: posts message to the tray window
// found by its class name. False when no such window can be reached.
bool postToRunningTrayWindow(std::u16string_view windowClass, std::uint32_t message);

}  // namespace varnel::platform
