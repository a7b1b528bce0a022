#pragma once
// The tunnel: OpenVPN launched for a profile and followed over its management interface, with the
// services it needs. The module holds one; workers hold it by shared_ptr so that none outlives it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bridge/js_value.h"
#include "bridge/promise.h"
#include "killswitch/kill_switch.h"
#include "platform/network_adapters.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "storage/data_folder.h"
#include "tunnel/lifecycle_order.h"
#include "tunnel/management_reader.h"
#include "tunnel/traffic_sampler.h"
#include "tunnel/tunnel_state.h"

namespace varnel::tunnel {

// Where OpenVPN and the TAP driver's installer are found; tests put folders of their own in place.
struct OpenVpnDiscovery {
    std::function<platform::PathText(const platform::PathText& executablePath)> locateOpenVpn;
    std::function<platform::PathText(const platform::PathText& openVpnPath)> locateTapInstaller;
};
OpenVpnDiscovery systemOpenVpnDiscovery();

struct TunnelServices {
    std::uint16_t managementPort = 0;
    storage::DataFolder dataFolder;
    // This executable: OpenVPN is looked for beside it.
    platform::PathText executablePath;
    OpenVpnDiscovery discovery;
    std::shared_ptr<platform::ProcessLauncher> launcher;
    std::shared_ptr<platform::NetworkAdapters> adapters;
    std::shared_ptr<platform::Clock> clock;
    std::shared_ptr<platform::ThreadLauncher> threads;
    // Whether the management port's listener is an OpenVPN of ours (when the pid is not 0, that very
    // process); tests that play OpenVPN's part on the port put their own answer here.
    std::function<bool(std::uint16_t port, std::uint32_t pid)> trustListener;
};

class Tunnel : public std::enable_shared_from_this<Tunnel> {
public:
    Tunnel(TunnelServices services, std::shared_ptr<killswitch::KillSwitch> killSwitch);
    // Ends the management reader first: it uses the members below while it runs.
    ~Tunnel();
    Tunnel(const Tunnel&) = delete;
    Tunnel& operator=(const Tunnel&) = delete;

    // Starts the connect worker; the promise resolves with {"state": "connecting"} once OpenVPN's
    // management interface answers, or rejects with the reason.
    void connect(std::string profileId, std::string configFileName, std::string username, std::string password,
                 const bridge::Promise<bridge::JSValueObject>& promise);
    // Starts the disconnect worker; always resolves with {"state": "disconnected"}.
    void disconnect(const bridge::Promise<bridge::JSValueObject>& promise);
    // The status object; the first call of the process recovers a tunnel left running.
    bridge::JSValueObject status();
    // {"downBps", "upBps"}: the sampled rates while connected, else 0 (and the sampler is reset).
    bridge::JSValueObject trafficStats();

    std::string statusWord();
    bool managementConnected();
    // OpenVPN's program as discovery finds it; empty when it is not installed.
    platform::PathText openVpnProgram() const;

    const TunnelServices services;
    const std::shared_ptr<killswitch::KillSwitch> killSwitch;
    TunnelControl control;
    TrafficSampler traffic;
    ReaderSlot reader;
    const std::shared_ptr<LifecycleOrder> order = std::make_shared<LifecycleOrder>();

private:
    // The rates for a session in status: sampled while connected, else 0 with the sampler reset.
    bridge::JSValueObject ratesWhile(const std::string& status);
};

}  // namespace varnel::tunnel
