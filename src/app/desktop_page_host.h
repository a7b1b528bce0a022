#pragma once
// The page's side of the desktop application: it loads the page with the bundle into the window and
// serves the page's requests with the JSON-lines host, so the window and `varnel host` answer alike.
// Requests run on the interface thread in arrival order; answers and events go back to the page on
// the window thread, in the order the host wrote them.

#include <functional>
#include <memory>
#include <string>

#include "app/desktop_page.h"
#include "app/interface_thread.h"
#include "app/stdio_host.h"
#include "platform/desktop_window.h"

namespace varnel {

struct Runtime;

// Made on any thread; used on the window thread, except for what it posts to the interface thread.
class DesktopPageHost {
public:
    // firstFrame is called (window thread) when the page has drawn the started interface.
    DesktopPageHost(const std::shared_ptr<Runtime>& runtime, std::shared_ptr<platform::DesktopWindow> window, BundleLocation bundle,
                    std::function<void()> firstFrame);

    // Shows the page; or, when the bundle file cannot be read or the window has no web view, a text
    // saying why, with the modules initialised at once so that the tray still runs.
    void start();
    // A text the page posted on one of its channels.
    void pageMessage(const std::string& channel, std::string text);

private:
    void fail(const std::string& reason);
    void showWithoutInterface(const std::string& text);

    std::shared_ptr<platform::DesktopWindow> window_;
    BundleLocation bundle_;
    std::function<void()> firstFrame_;
    StdioHost host_;
    // Declared last so that it ends, with its queued requests run, before the host goes.
    InterfaceThread interfaceThread_;
};

}  // namespace varnel
