#pragma once
// The desktop application once its window exists, the same on every system: the runtime on the
// system's services, the interface served (the bundle's page, or the JSON-lines protocol on standard
// input and output) and a close that hides the window and leaves a notice instead of ending.
// Making the window, and the process around it, is desktop_app.cpp's.

#include <chrono>
#include <memory>

#include "app/desktop_options.h"
#include "app/desktop_page_host.h"
#include "module/runtime.h"
#include "platform/desktop_window.h"

namespace varnel {

// Made once and kept until the process ends; the window's events reach it by plain pointer. Used on
// the window thread.
class DesktopSession {
public:
    using Clock = std::chrono::steady_clock;

    DesktopSession(const DesktopOptions& options, Clock::time_point started) : options_(options), started_(started) {}
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // What the window is made with; nothing happens through them before start().
    platform::DesktopWindowEvents windowEvents();
    // Builds the runtime and serves the interface in window. Where the system cannot find the window
    // by its title, the tray shows it through the window's own thread.
    void start(std::shared_ptr<platform::DesktopWindow> window, RuntimeServices services);

    const std::shared_ptr<Runtime>& runtime() const { return runtime_; }

private:
    void servePage();
    void serveStdio();
    void reportFirstFrame();

    const DesktopOptions options_;
    const Clock::time_point started_;
    std::shared_ptr<Runtime> runtime_;
    std::shared_ptr<platform::DesktopWindow> window_;
    std::unique_ptr<DesktopPageHost> page_;
};

}  // namespace varnel
