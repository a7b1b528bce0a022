#include "tunnel/tunnel.h"

#include "tunnel/openvpn_program.h"

namespace varnel::tunnel {

OpenVpnDiscovery systemOpenVpnDiscovery() { return {OpenVpnLocator, TapInstallerPath}; }

Tunnel::Tunnel(TunnelServices servicesToUse, std::shared_ptr<killswitch::KillSwitch> killSwitchToUse)
    : services(std::move(servicesToUse)), killSwitch(std::move(killSwitchToUse)) {}

Tunnel::~Tunnel() { reader.stop(); }

bridge::JSValueObject Tunnel::trafficStats() { return ratesWhile(statusWord()); }

bridge::JSValueObject Tunnel::ratesWhile(const std::string& status) {
    if (status == kStatusConnected) return trafficRates(traffic.SampleTraffic(*services.adapters, *services.clock));
    traffic.ResetTraffic();
    return trafficRates({0, 0});
}

std::string Tunnel::statusWord() {
    std::lock_guard lock(control.lock);
    return control.state.status;
}

bool Tunnel::managementConnected() {
    std::lock_guard lock(control.lock);
    return control.state.managementSocket != nullptr;
}

platform::PathText Tunnel::openVpnProgram() const { return services.discovery.locateOpenVpn(services.executablePath); }

}  // namespace varnel::tunnel
