#include "module/build_config_module.h"

#include "platform/text.h"

namespace varnel {

void addVarnelBuildConfigModule(bridge::PackageBuilder& package) {
    package.AddTurboModule(kBuildConfigModuleName, [](bridge::ModuleBuilder& builder) -> std::shared_ptr<void> {
        builder.AddConstantProvider([](bridge::JSValueWriter& w) {
            w.WritePropertyName(u"apiBaseUrl");
            w.WriteString(platform::utf8ToWide(kApiBaseUrl));
            w.WritePropertyName(u"includeVpnAuthDeviceMetadata");
            w.WriteBoolean(false);
        });
        return std::make_shared<int>(0);  // the module holds no state; the host still keeps an instance
    });
}

}  // namespace varnel
