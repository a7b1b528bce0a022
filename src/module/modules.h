#pragma once
// The package of native modules every host loads, in the order hosts walk it.

#include <memory>

#include "bridge/host_interface.h"

namespace varnel {

struct Runtime;

// Adds VarnelTunnel, then VarnelBuildConfig.
void addVarnelModules(bridge::PackageBuilder& package, const std::shared_ptr<Runtime>& runtime);

}  // namespace varnel
