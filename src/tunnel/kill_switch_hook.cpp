#include "tunnel/kill_switch_hook.h"

#include "killswitch/rules.h"

namespace varnel {

void reengageKillSwitchAfterDrop(Runtime& runtime) { killswitch::applyKillSwitch(runtime, true); }

}  // namespace varnel
