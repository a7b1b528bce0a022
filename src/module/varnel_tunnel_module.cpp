#include "module/varnel_tunnel_module.h"

#include "module/runtime.h"
#include "bridge/js_value_write.h"

namespace varnel {

namespace {

void addEventInitializers(bridge::ModuleBuilder& builder, const std::shared_ptr<VarnelTunnelModule>& module) {
    // The senders keep the context (the host's, shared) but not the module, which the host owns.
    VarnelTunnelModule* self = module.get();
    builder.AddInitializer([self](const bridge::ReactContextPtr& context) {
        self->menuBarAction = [context](const bridge::JSValueObject& payload) {
            context->EmitJSEvent(kEventEmitterName, "menuBarAction", [&payload](bridge::JSValueWriter& w) {
                w.WriteArrayBegin();
                bridge::writeJSValue(w, payload);
                w.WriteArrayEnd();
            });
        };
    });
    builder.AddInitializer([self](const bridge::ReactContextPtr& context) {
        self->appWindowDidShow = [context]() {
            context->EmitJSEvent(kEventEmitterName, "appWindowDidShow", [](bridge::JSValueWriter& w) {
                w.WriteArrayBegin();
                w.WriteArrayEnd();
            });
        };
    });
}

}  // namespace

void addVarnelTunnelModule(bridge::PackageBuilder& package, const std::shared_ptr<Runtime>& runtime) {
    package.AddTurboModule(kVarnelTunnelModuleName, [runtime](bridge::ModuleBuilder& builder) -> std::shared_ptr<void> {
        auto module = std::make_shared<VarnelTunnelModule>();
        addEventInitializers(builder, module);
        addVarnelTunnelMethods(builder, runtime);
        // Initialize comes last so that the senders are set before the forwarders point here.
        std::weak_ptr<VarnelTunnelModule> weak = module;
        builder.AddInitializer([runtime, weak](const bridge::ReactContextPtr&) {
            if (auto bound = weak.lock()) runtime->events->bind(bound);
            runtime->tray.ensureThread();
        });
        return module;
    });
}

}  // namespace varnel
