#include "module/runtime.h"

#include "platform/killswitch_channel.h"
#include "platform/listener.h"
#include "platform/paths.h"

namespace varnel {

RuntimeServices systemServices() {
    RuntimeServices services;
    services.threads = platform::systemThreadLauncher();
    services.localDataFolder = platform::localDataFolder();
    services.credentials = platform::systemCredentialStore();
    services.managementPort = 11940;
    services.killSwitchChannel = platform::defaultKillSwitchChannel();
    services.executablePath = platform::ownExecutablePath();
    services.discovery = tunnel::systemOpenVpnDiscovery();
    services.trustListener = platform::listenerIsOpenVpn;
    services.launcher = platform::systemProcessLauncher();
    services.deviceInfo = platform::systemDeviceInfo();
    services.fileDialog = platform::systemFileDialog();
    services.adapters = platform::systemNetworkAdapters();
    services.clock = platform::systemClock();
    services.trayShell = platform::systemTrayShell();
    return services;
}

namespace {

tunnel::TunnelServices tunnelServices(const RuntimeServices& services, const storage::DataFolder& dataFolder) {
    return {services.managementPort, dataFolder,       services.executablePath, services.discovery, services.launcher,
            services.adapters,       services.clock,    services.threads,        services.trustListener};
}

}  // namespace

Runtime::Runtime(RuntimeServices servicesToUse)
    : services(std::move(servicesToUse)),
      events(std::make_shared<EventForwarders>()),
      dataFolder(services.localDataFolder),
      killSwitch(std::make_shared<killswitch::KillSwitch>(services.killSwitchChannel, services.executablePath,
                                                          dataFolder.killSwitchRecordFile())),
      tunnel(std::make_shared<tunnel::Tunnel>(tunnelServices(services, dataFolder), killSwitch)),
      tray(services.trayShell, events, services.threads) {}

}  // namespace varnel
