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

platform::SingleInstanceSetup singleInstanceSetup() {
    platform::SingleInstanceSetup setup;
    setup.name = kSingleInstanceName;
    setup.trayWindowClass = tray::kTrayWindowClass;
    setup.showAppMessage = tray::kWmTrayShowApp;
    setup.mainWindowTitle = tray::kMainWindowTitle;
    return setup;
}

platform::DesktopWindowSetup windowSetup(const DesktopOptions& options) {
    platform::DesktopWindowSetup setup;
    setup.programName = kDesktopProgramName;
    setup.title = platform::wideToUtf8(tray::kMainWindowTitle);
    setup.width = kMainWindowWidth;
    setup.height = kMainWindowHeight;
    setup.minWidth = kMainWindowMinWidth;
    setup.minHeight = kMainWindowMinHeight;
    setup.iconResource = tray::kTrayIconResource;
    setup.pageChannels = {kRequestChannel, kHostChannel};
    if (options.automation) setup.automationName = setup.title;
    // The web engine's cache and data stay with ours, not in a folder named after the program.
    const storage::DataFolder data(platform::localDataFolder());
    if (!data.root().empty()) setup.webDataFolder = storage::DataFolder::child(data.root(), "webkit");
    return setup;
}

}  // namespace

int runDesktopApp(const DesktopOptions& options) {
    const DesktopSession::Clock::time_point started = DesktopSession::Clock::now();
    platform::InstanceStart instance = platform::claimSingleInstance(singleInstanceSetup());
    if (instance.role == platform::InstanceRole::Second) return 0;
    platform::prepareDesktopProcess();
    // The executable's own path, from which the bundle's folder is cut, comes with the services.
    RuntimeServices services = systemServices();
    services.fileDialog = platform::desktopFileDialog();

    auto* session = new DesktopSession(options, started);
    std::string failure;
    const std::shared_ptr<platform::DesktopWindow> window =
        platform::createDesktopWindow(windowSetup(options), session->windowEvents(), failure);
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
