#pragma once
// The desktop application's main window and what it shows. The window belongs to the thread that
// creates it and runs its loop (the window thread); other threads reach it only through post().

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/files.h"

namespace varnel::platform {

struct DesktopWindowSetup {
    // The program as the desktop knows it (window class, icon name, desktop entry).
    std::string programName;
    std::string title;  // UTF-8
    int width = 0;
    int height = 0;
    // The window refuses to be made smaller than this.
    int minWidth = 0;
    int minHeight = 0;
    // Names under which a page may post text to the application
    // (window.webkit.messageHandlers.NAME.postMessage(text) in a web view).
    std::vector<std::string> pageChannels;
    // Not empty: a web-automation driver may take over the page, and its session reports this name.
    std::string automationName;
    // Where the web engine keeps its cache and its data; empty: it keeps nothing on disk.
    PathText webDataFolder;
    // Windows: the executable's icon group shown as the window's big and small icon; 0, or a group
    // that is missing, leaves the system's default. Linux shows the artwork built into the program.
    std::uint16_t iconResource = 0;
};

// Each called on the window thread.
struct DesktopWindowEvents {
    // The user asked to close the window; it stays as it is, so the handler decides.
    std::function<void()> closeRequested;
    // The page posted text on one of the setup's channels.
    std::function<void(const std::string& channel, std::string text)> pageMessage;
    // An automation driver closed the page.
    std::function<void()> automationClosed;
};

// What the window shows: a page (the interface bundle) or a plain text. Window thread only.
class WindowContent {
public:
    virtual ~WindowContent() = default;
    // Shows html; its relative references resolve against baseUri (a file: URI ending in "/").
    virtual void showPage(std::string_view html, std::string_view baseUri) = 0;
    // Runs script in the page shown now; nothing happens when a text is shown instead.
    virtual void runScript(std::string_view script) = 0;
    // Replaces what is shown by text, as plain text.
    virtual void showText(std::string_view text) = 0;
    // False where the build has no web engine (Windows here): a page cannot run, only text is shown.
    virtual bool hasWebView() const { return true; }
};

class DesktopWindow {
public:
    virtual ~DesktopWindow() = default;

    // Window thread.
    virtual WindowContent& content() = 0;
    virtual void hide() = 0;
    // Shows the window and brings it to the front.
    virtual void present() = 0;
    // Runs the window thread's loop until quit().
    virtual void run() = 0;

    // Any thread.
    virtual void quit() = 0;
    // Runs task on the window thread, after every task posted before it.
    virtual void post(std::function<void()> task) = 0;

    // Whether the system finds the window by its title (Windows), so that the tray and a later start
    // reach it as any window; otherwise only this object reaches it.
    virtual bool foundByTitle() const { return false; }
};

// Prepares the process for its window, on the thread that will make it, before anything else is
// made: Windows makes the thread a single-threaded COM apartment and the process per-monitor DPI
// aware; elsewhere there is nothing to do.
void prepareDesktopProcess();

// The calling thread becomes the window thread. Null, with the reason in failure, when no window can
// be made (no display). The window is hidden until present().
std::shared_ptr<DesktopWindow> createDesktopWindow(const DesktopWindowSetup& setup, DesktopWindowEvents events, std::string& failure);

// The open-file dialog as the desktop application shows it: run on the window thread while the
// calling thread waits. Only for threads other than the window thread, once the window exists.
std::shared_ptr<FileDialog> desktopFileDialog();

}  // namespace varnel::platform
