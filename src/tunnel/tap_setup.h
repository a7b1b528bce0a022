#pragma once
// Making sure a TAP adapter exists before OpenVPN starts, installing the driver silently if needed.

#include "platform/files.h"
#include "platform/network_adapters.h"
#include "platform/process.h"

namespace varnel::tunnel {

// True when a TAP adapter is there (at once, or after installer has run). installer is empty where
// there is none.
bool ensureTapAdapter(platform::NetworkAdapters& adapters, platform::ProcessLauncher& launcher, const platform::PathText& installer);

}  // namespace varnel::tunnel
