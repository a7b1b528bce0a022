#include "app/desktop_app.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/desktop_page_host.h"
#include "app/desktop_tray_shell.h"
#include "app/line_output.h"
#include "module/runtime.h"
#include "app/stdio_session.h"
#include "platform/console.h"
#include "platform/desktop_window.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "tray/tray_constants.h"
#include "tray/tray.h"

namespace varnel {

namespace {

using Clock = std::chrono::steady_clock;

platform::SingleInstanceSpec singleInstanceSpec() {
    platform::SingleInstanceSpec spec;
    spec.name = kSingleInstanceName;
    spec.trayWindowClass = tray::kTrayWindowClass;
    spec.showAppMessage = tray::kWmTrayShowApp;
    spec.mainWindowTitle = tray::kMainWindowTitle;
    return spec;
}

// Everything lives until the process ends; the window's events reach it by plain pointer.
class DesktopApp {
public:
    DesktopApp(const DesktopOptions& options, Clock::time_point started) : options_(options), started_(started) {}

    int run(std::unique_ptr<platform::InstanceClaim> claim) {
        std::string failure;
        window_ = platform::createDesktopWindow(windowSpec(), windowEvents(), failure);
        if (!window_) {
            std::fprintf(stderr, "%s: %s\n", kDesktopProgramName, failure.c_str());
            return 1;
        }
        RuntimeServices services = systemServices();
        services.fileDialog = platform::desktopFileDialog();
        services.trayShell = desktopTrayShell(services.trayShell, window_);
        runtime_ = std::make_shared<Runtime>(std::move(services));
        if (options_.interface == DesktopOptions::Interface::Stdio)
            serveStdio();
        else
            servePage();
        if (claim) claim->deliverShowRequests([runtime = runtime_] { runtime->tray.showMainWindow(); });
        window_->present();
        window_->run();
        // Only an automation driver's close gets here; like the tray's exit, nothing is waited for.
        std::fflush(stdout);
        std::_Exit(0);
    }

private:
    platform::DesktopWindowSpec windowSpec() const {
        platform::DesktopWindowSpec spec;
        spec.programName = kDesktopProgramName;
        spec.title = platform::wideToUtf8(tray::kMainWindowTitle);
        spec.width = kMainWindowWidth;
        spec.height = kMainWindowHeight;
        spec.minWidth = kMainWindowMinWidth;
        spec.minHeight = kMainWindowMinHeight;
        spec.pageChannels = {kRequestChannel, kHostChannel};
        if (options_.automation) spec.automationName = spec.title;
        // The web engine's cache and data stay with ours, not in a folder named after the program.
        // (The window is made before the runtime, whose tray shell needs it: the folder is taken afresh.)
        const storage::DataFolder data(platform::localDataFolder());
        if (!data.root().empty()) spec.webDataFolder = storage::DataFolder::child(data.root(), "webkit");
        return spec;
    }

    platform::DesktopWindowEvents windowEvents() {
        platform::DesktopWindowEvents events;
        events.closeRequested = [this] {
            window_->hide();
            runtime_->tray.showBackgroundNotice();
        };
        events.pageMessage = [this](const std::string& channel, std::string text) {
            if (page_) page_->pageMessage(channel, std::move(text));
        };
        events.automationClosed = [this] { window_->quit(); };
        return events;
    }

    void servePage() {
        page_ = std::make_unique<DesktopPageHost>(runtime_, window_, bundleBeside(platform::ownExecutablePath()), [this] { reportFirstFrame(); });
        page_->start();
    }

    // The window stays, with a word on where its interface went; standard input's reader is the
    // interface thread.
    void serveStdio() {
        platform::useBinaryStdio();
        auto* output = new LineOutput(stdout);
        auto* host = new StdioHost(runtime_, [output](std::string line, HostLineKind) { output->write(std::move(line)); });
        std::thread([host, output] { serveStandardInput(*host, *output); }).detach();
        window_->content().showText("VarnelVPN serves its interface on standard input and output.\n");
    }

    void reportFirstFrame() {
        if (!options_.automation && std::getenv(kReportFirstFrameVariable) == nullptr) return;
        const Clock::time_point now = Clock::now();
        const double sinceStart = std::chrono::duration<double, std::milli>(now - started_).count();
        const double monotonic = std::chrono::duration<double>(now.time_since_epoch()).count();
        std::fprintf(stderr, "%s: first frame %.1f ms after start (monotonic clock %.6f s)\n", kDesktopProgramName, sinceStart, monotonic);
    }

    const DesktopOptions options_;
    const Clock::time_point started_;
    std::shared_ptr<Runtime> runtime_;
    std::shared_ptr<platform::DesktopWindow> window_;
    std::unique_ptr<DesktopPageHost> page_;
};

}  // namespace

int runDesktopApp(const DesktopOptions& options) {
    const Clock::time_point started = Clock::now();
    platform::InstanceStart instance = platform::claimSingleInstance(singleInstanceSpec());
    if (instance.role == platform::InstanceRole::Second) return 0;
    auto* app = new DesktopApp(options, started);
    return app->run(std::move(instance.claim));
}

}  // namespace varnel
