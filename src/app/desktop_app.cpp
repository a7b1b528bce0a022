#include "app/desktop_app.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/desktop_page.h"
#include "app/desktop_session.h"
#include "module/runtime.h"
#include "platform/desktop_window.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "tray/tray_constants.h"

namespace varnel {

namespace {

platform::SingleInstanceSpec singleInstanceSpec() {
    platform::SingleInstanceSpec spec;
    spec.name = kSingleInstanceName;
    spec.trayWindowClass = tray::kTrayWindowClass;
    spec.showAppMessage = tray::kWmTrayShowApp;
    spec.mainWindowTitle = tray::kMainWindowTitle;
    return spec;
}

platform::DesktopWindowSpec windowSpec(const DesktopOptions& options) {
    platform::DesktopWindowSpec spec;
    spec.programName = kDesktopProgramName;
    spec.title = platform::wideToUtf8(tray::kMainWindowTitle);
    spec.width = kMainWindowWidth;
    spec.height = kMainWindowHeight;
    spec.minWidth = kMainWindowMinWidth;
    spec.minHeight = kMainWindowMinHeight;
    spec.iconResource = tray::kTrayIconResource;
    spec.pageChannels = {kRequestChannel, kHostChannel};
    if (options.automation) spec.automationName = spec.title;
    // The web engine's cache and data stay with ours, not in a folder named after the program.
    const storage::DataFolder data(platform::localDataFolder());
    if (!data.root().empty()) spec.webDataFolder = storage::DataFolder::child(data.root(), "webkit");
    return spec;
}

}  // namespace

int runDesktopApp(const DesktopOptions& options) {
    const DesktopSession::Clock::time_point started = DesktopSession::Clock::now();
    platform::InstanceStart instance = platform::claimSingleInstance(singleInstanceSpec());
    if (instance.role == platform::InstanceRole::Second) return 0;
    platform::prepareDesktopProcess();
    // The executable's own path, from which the bundle's folder is cut, comes with the services.
    RuntimeServices services = systemServices();
    services.fileDialog = platform::desktopFileDialog();

    auto* session = new DesktopSession(options, started);
    std::string failure;
    const std::shared_ptr<platform::DesktopWindow> window =
        platform::createDesktopWindow(windowSpec(options), session->windowEvents(), failure);
    if (!window) {
        std::fprintf(stderr, "%s: %s\n", kDesktopProgramName, failure.c_str());
        return 1;
    }
    session->start(window, std::move(services));
    if (instance.claim)
        instance.claim->deliverShowRequests([runtime = session->runtime()] { runtime->tray.showMainWindow(); });
    window->present();
    window->run();
    // Only an automation driver's close gets here; like the tray's exit, nothing is waited for.
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace varnel
