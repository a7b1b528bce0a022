#include "tunnel/tap_setup.h"

#include <chrono>
#include <thread>

#include "app/runtime.h"
#include "tunnel/openvpn_program.h"

namespace varnel {

bool ensureTapAdapter(Runtime& runtime, const platform::PathText& openVpnPath) {
    platform::NetworkAdapters& adapters = *runtime.adapters;
    if (adapters.tapAdapterPresent()) return true;
    const platform::PathText installer = TapInstallerPath(openVpnPath);
    if (installer.empty()) return false;

    platform::LaunchResult launch = runtime.launcher->launchElevated(installer, "/S");
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

}  // namespace varnel
