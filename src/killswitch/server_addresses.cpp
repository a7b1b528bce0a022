#include "killswitch/server_addresses.h"

#include <algorithm>
#include <mutex>

#include "app/runtime.h"
#include "killswitch/killswitch_file.h"
#include "platform/resolver.h"

namespace varnel::killswitch {

std::string joinUniqueAddresses(const std::vector<std::string>& addresses) {
    std::string list;
    for (auto it = addresses.begin(); it != addresses.end(); ++it) {
        if (std::find(addresses.begin(), it, *it) != it) continue;
        if (!list.empty()) list += ',';
        list += *it;
    }
    return list;
}

std::string resolveServerAddresses(std::string_view host) {
    if (host.empty()) return {};
    return joinUniqueAddresses(platform::resolveIpv4Addresses(host));
}

void recordServerAddresses(Runtime& runtime, std::string host, std::string proto, std::int32_t port) {
    const std::string list = resolveServerAddresses(host);
    if (list.empty()) return;
    {
        std::lock_guard guard(runtime.tunnel.lock);
        runtime.tunnel.state.serverAddress = list;
    }
    writeKillSwitchFile(runtime, proto, port, list);
}

}  // namespace varnel::killswitch
