#pragma once
// The process-wide way for the tray and the methods to send events without holding the module.
// Owned by the runtime; used from any thread. mutex_ guards module_ and is held only to copy it.

#include <memory>
#include <mutex>

#include "bridge/js_value.h"
#include "tray/tray_events.h"

namespace varnel {

class VarnelTunnelModule;

class EventForwarders : public tray::TrayEvents {
public:
    // Points both forwarders at the module that was initialised last.
    void bind(const std::shared_ptr<VarnelTunnelModule>& module);

    // Each sends through the bound module's sender; dropped silently before the first bind, when
    // the sender is not set, and once the bound module has been destroyed.
    void EmitMenuBarAction(const bridge::JSValueObject& payload) const override;
    void EmitAppWindowDidShow() const override;

private:
    std::shared_ptr<VarnelTunnelModule> target() const;

    mutable std::mutex mutex_;
    std::weak_ptr<VarnelTunnelModule> module_;
};

}  // namespace varnel
