#include "tunnel/tap_setup.h"

#include <chrono>
#include <thread>


namespace varnel::tunnel {

bool ensureTapAdapter(platform::NetworkAdapters& adapters, platform::ProcessLauncher& launcher, const platform::PathText& installer) {
    if (adapters.tapAdapterPresent()) return true;
    if (installer.empty()) return false;

    platform::LaunchResult launch = launcher.launchElevated(installer, "/S");
    if (launch.error == 0) {
        if (launch.process.valid()) platform::waitForExit(launch.process, 90000);
        launch.process.reset();
        // The adapter may appear a little after the installer ends.
        for (int check = 0; check < 12; ++check) {
            if (adapters.tapAdapterPresent()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }
    return adapters.tapAdapterPresent();
}

}  // namespace varnel::tunnel
