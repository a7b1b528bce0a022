#include "killswitch/settings.h"

#include <mutex>
#include <string>

#include "app/runtime.h"
#include "killswitch/rules.h"
#include "killswitch/service_client.h"

namespace varnel::killswitch {

JSValueObject setKillSwitchEnabled(Runtime& runtime, bool enabled) {
    runtime.tunnel.killSwitchEnabled.exchange(enabled);
    if (enabled) {
        std::string status;
        {
            std::lock_guard guard(runtime.tunnel.lock);
            status = runtime.tunnel.state.status;
        }
        // While connecting, the connect worker reads the flag itself when it reaches its kill-switch step.
        if (status == kStatusConnected) applyKillSwitch(runtime, true);
    } else {
        killSwitchTransact(runtime, kDisableCommand);
    }
    return JSValueObject{{"enabled", JSValue(enabled)}};
}

JSValueObject setBlockIpv6Enabled(Runtime& runtime, bool enabled) {
    runtime.tunnel.blockIpv6Enabled.exchange(enabled);
    return JSValueObject{{"enabled", JSValue(enabled)}};
}

}  // namespace varnel::killswitch
