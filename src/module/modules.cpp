#include "module/modules.h"

#include "module/build_config_module.h"
#include "module/varnel_tunnel_module.h"

namespace varnel {

void addVarnelModules(bridge::PackageBuilder& package, const std::shared_ptr<Runtime>& runtime) {
    addVarnelTunnelModule(package, runtime);
    addVarnelBuildConfigModule(package);
}

}  // namespace varnel
