#include "tunnel/kill_switch_hook.h"

namespace varnel {

// The kill-switch service client is not built yet; until it is, a drop engages nothing.
void reengageKillSwitchAfterDrop(Runtime&) {}

}  // namespace varnel
