#include "app/desktop_session.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/desktop_app.h"
#include "app/desktop_tray_shell.h"
#include "app/line_output.h"
#include "app/stdio_session.h"
#include "platform/console.h"

namespace varnel {

platform::DesktopWindowEvents DesktopSession::windowEvents() {
    platform::DesktopWindowEvents events;
    events.closeRequested = [this] {
        if (!runtime_) return;
        window_->hide();
        runtime_->tray.showBackgroundNotice();
    };
    events.pageMessage = [this](const std::string& channel, std::string text) {
        if (page_) page_->pageMessage(channel, std::move(text));
    };
    events.automationClosed = [this] {
        if (window_) window_->quit();
    };
    return events;
}

void DesktopSession::start(std::shared_ptr<platform::DesktopWindow> window, RuntimeServices services) {
    window_ = std::move(window);
    if (!window_->foundByTitle()) services.trayShell = desktopTrayShell(services.trayShell, window_);
    runtime_ = std::make_shared<Runtime>(std::move(services));
    if (options_.interface == DesktopOptions::Interface::Stdio)
        serveStdio();
    else
        servePage();
}

void DesktopSession::servePage() {
    page_ = std::make_unique<DesktopPageHost>(runtime_, window_, bundleBeside(runtime_->services.executablePath),
                                              [this] { reportFirstFrame(); });
    page_->start();
}

// The window stays, with a word on where its interface went; standard input's reader is the
// interface thread.
void DesktopSession::serveStdio() {
    platform::useBinaryStdio();
    auto* output = new LineOutput(stdout);
    auto* host = new StdioHost(runtime_, [output](std::string line, HostLineKind) { output->write(std::move(line)); });
    std::thread([host, output] { serveStandardInput(*host, *output); }).detach();
    window_->content().showText("VarnelVPN serves its interface on standard input and output.\n");
}

void DesktopSession::reportFirstFrame() {
    if (!options_.automation && std::getenv(kReportFirstFrameVariable) == nullptr) return;
    const Clock::time_point now = Clock::now();
    const double sinceStart = std::chrono::duration<double, std::milli>(now - started_).count();
    const double monotonic = std::chrono::duration<double>(now.time_since_epoch()).count();
    std::fprintf(stderr, "%s: first frame %.1f ms after start (monotonic clock %.6f s)\n", kDesktopProgramName, sinceStart, monotonic);
}

}  // namespace varnel
