#pragma once
// Everything process-wide, in one object that composes the subsystems. Production makes exactly one
// from the system's services; each test makes its own from fakes, a free port and temporary folders.
// Workers hold the pieces they use by shared_ptr so that none outlives its state.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "killswitch/kill_switch.h"
#include "module/event_forwarders.h"
#include "platform/credential_store.h"
#include "platform/device_info.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/network_adapters.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "platform/tray_shell.h"
#include "storage/data_folder.h"
#include "tray/tray.h"
#include "tunnel/tunnel.h"

namespace varnel {

// What a runtime is made of. Nothing has a default: a runtime reaches only what it was given.
struct RuntimeServices {
    std::shared_ptr<platform::ThreadLauncher> threads;
    // The user's local application-data folder; AppDataRoot lies inside it.
    platform::PathText localDataFolder;
    std::shared_ptr<platform::CredentialStore> credentials;
    // OpenVPN's management interface on 127.0.0.1.
    std::uint16_t managementPort = 0;
    // The kill-switch service's pipe or socket.
    std::string killSwitchChannel;
    // This executable: OpenVPN is looked for beside it, and the kill-switch service lets its traffic through.
    platform::PathText executablePath;
    tunnel::OpenVpnDiscovery discovery;
    // Whether the management port's listener is an OpenVPN of ours.
    std::function<bool(std::uint16_t port, std::uint32_t pid)> trustListener;
    std::shared_ptr<platform::ProcessLauncher> launcher;
    std::shared_ptr<platform::DeviceInfoSource> deviceInfo;
    std::shared_ptr<platform::FileDialog> fileDialog;
    std::shared_ptr<platform::NetworkAdapters> adapters;
    std::shared_ptr<platform::Clock> clock;
    std::shared_ptr<platform::TrayShell> trayShell;
};

// The real system: its folders, port 11940, its kill-switch channel and its services.
RuntimeServices systemServices();

struct Runtime {
    explicit Runtime(RuntimeServices servicesToUse);
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    const RuntimeServices services;
    const std::shared_ptr<EventForwarders> events;
    const storage::DataFolder dataFolder;
    const std::shared_ptr<killswitch::KillSwitch> killSwitch;
    const std::shared_ptr<tunnel::Tunnel> tunnel;
    tray::Tray tray;
};

}  // namespace varnel
