#include "killswitch/server_addresses.h"

#include <algorithm>

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

}  // namespace varnel::killswitch
