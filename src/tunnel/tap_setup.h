#pragma once
// Making sure a TAP adapter exists before OpenVPN starts, installing the driver silently if needed.

#include "platform/files.h"

namespace varnel {

struct Runtime;

// True when a TAP adapter is there (at once, or after the installer beside openVpnPath has run).
bool ensureTapAdapter(Runtime& runtime, const platform::PathText& openVpnPath);

}  // namespace varnel
