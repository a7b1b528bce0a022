#pragma once
// The user's kill-switch and IPv6-blocking settings, kept in memory only.

#include "bridge/js_value.h"

namespace varnel {
struct Runtime;
}

namespace varnel::killswitch {

// Stores the setting and acts on it at once: on, while connected, sends ENABLE for the current
// server; off sends "DISABLE" whatever the tunnel does. Answers {"enabled": enabled}.
JSValueObject setKillSwitchEnabled(Runtime& runtime, bool enabled);
// Stores the setting for the next connect; a running tunnel keeps its options. Answers
// {"enabled": enabled}.
JSValueObject setBlockIpv6Enabled(Runtime& runtime, bool enabled);

}  // namespace varnel::killswitch
