#pragma once
// The module through which the interface asks the system for everything: its two event senders, and
// its registration with a host (event initialisers, the 31 promise methods in table order, Initialize).

#include <functional>
#include <memory>

#include "bridge/host_interface.h"
#include "bridge/js_value.h"

namespace varnel {

struct Runtime;

inline constexpr const char* kVarnelTunnelModuleName = "VarnelTunnel";
inline constexpr const char* kEventEmitterName = "RCTDeviceEventEmitter";

class VarnelTunnelModule {
public:
    // Set by the host's event initialisers; empty until then. After Initialize they are only read.
    std::function<void(const bridge::JSValueObject&)> menuBarAction;
    std::function<void()> appWindowDidShow;
};

void addVarnelTunnelModule(bridge::PackageBuilder& package, const std::shared_ptr<Runtime>& runtime);

// The 31 methods, registered in table order (defined with the method table).
void addVarnelTunnelMethods(bridge::ModuleBuilder& builder, const std::shared_ptr<Runtime>& runtime);

}  // namespace varnel
