#pragma once
// Everything process-wide, in one object. Production makes exactly one; each test makes its own, with
// fakes where it needs them. Workers hold it by shared_ptr so that none outlives its state.

#include <cstdint>
#include <memory>
#include <string>

#include "bridge/event_forwarders.h"
#include "platform/credential_store.h"
#include "platform/device_info.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/killswitch_channel.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "platform/network_adapters.h"
#include "platform/process.h"
#include "storage/data_folder.h"
#include "tray/tray_control.h"
#include "tunnel/traffic_sampler.h"
#include "tunnel/tunnel_state.h"

namespace varnel {

struct Runtime {
    Runtime() = default;
    // Ends the management reader first: it uses the members below while it runs.
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    std::shared_ptr<platform::ThreadLauncher> threads = platform::systemThreadLauncher();
    EventForwarders events;
    storage::DataFolder dataFolder{platform::localDataFolder()};
    std::shared_ptr<platform::CredentialStore> credentials = platform::systemCredentialStore();

    // OpenVPN's management interface on 127.0.0.1; tests use ports of their own.
    std::uint16_t managementPort = 11940;
    TunnelControl tunnel;
    // The kill-switch service's pipe or socket; tests point it at a service double.
    std::string killSwitchChannel = platform::defaultKillSwitchChannel();
    // Sent to the kill-switch service as the program whose traffic it lets through.
    platform::PathText executablePath = platform::ownExecutablePath();
    std::shared_ptr<platform::ProcessLauncher> launcher = platform::systemProcessLauncher();
    std::shared_ptr<platform::DeviceInfoSource> deviceInfo = platform::systemDeviceInfo();
    std::shared_ptr<platform::FileDialog> fileDialog = platform::systemFileDialog();
    std::shared_ptr<platform::NetworkAdapters> adapters = platform::systemNetworkAdapters();
    std::shared_ptr<platform::Clock> clock = platform::systemClock();
    TrafficSampler traffic;
    tray::TrayControl tray;
};

}  // namespace varnel
