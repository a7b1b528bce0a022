#pragma once
// VarnelBuildConfig: two constants fixed when the system is built, and nothing else.

#include "module/build_config.h"
#include "bridge/host_interface.h"

namespace varnel {

inline constexpr const char* kBuildConfigModuleName = "VarnelBuildConfig";
inline constexpr const char* kApiBaseUrl = "https://" VARNEL_API_HOST "/api/v1";

void addVarnelBuildConfigModule(bridge::PackageBuilder& package);

}  // namespace varnel
