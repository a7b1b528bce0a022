#include "platform/resolver.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/winsock_session.h"

namespace varnel::platform {

std::vector<std::string> resolveIpv4Addresses(std::string_view host) {
    ensureWinsock();
    std::vector<std::string> addresses;
    addrinfo hints{};
    hints.ai_flags = 0;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = 0;
    addrinfo* results = nullptr;
    if (getaddrinfo(std::string(host).c_str(), nullptr, &hints, &results) != 0) return addresses;
    for (const addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
        char text[22] = {};
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) != nullptr) addresses.emplace_back(text);
    }
    freeaddrinfo(results);
    return addresses;
}

}  // namespace varnel::platform
