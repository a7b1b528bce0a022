#include "module/event_forwarders.h"

#include "module/varnel_tunnel_module.h"

namespace varnel {

void EventForwarders::bind(const std::shared_ptr<VarnelTunnelModule>& module) {
    std::lock_guard lock(mutex_);
    module_ = module;
}

std::shared_ptr<VarnelTunnelModule> EventForwarders::target() const {
    std::lock_guard lock(mutex_);
    return module_.lock();
}

void EventForwarders::EmitMenuBarAction(const bridge::JSValueObject& payload) const {
    if (auto module = target(); module && module->menuBarAction) module->menuBarAction(payload);
}

void EventForwarders::EmitAppWindowDidShow() const {
    if (auto module = target(); module && module->appWindowDidShow) module->appWindowDidShow();
}

}  // namespace varnel
