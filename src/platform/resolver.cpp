#include "platform/resolver.h"

#include <cstring>

#include "socket_api.h"  // this build's: platform/posix/ or platform/win32/

namespace varnel::platform {

namespace {

// The one getaddrinfo call of both builds: no service, flags and protocol 0, IPv4 only. The IPv4
// address of every entry in the resolver's order; empty when the resolution fails.
std::vector<in_addr> lookupIpv4(const std::string& host, int socketType) {
    startSockets();
    addrinfo hints{};
    hints.ai_flags = 0;
    hints.ai_family = AF_INET;
    hints.ai_socktype = socketType;
    hints.ai_protocol = 0;
    addrinfo* results = nullptr;
    std::vector<in_addr> addresses;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &results) != 0) return addresses;
    for (const addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
        addresses.push_back(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr);
    }
    ::freeaddrinfo(results);
    return addresses;
}

}  // namespace

std::vector<std::string> resolveIpv4Addresses(std::string_view host) {
    std::vector<std::string> texts;
    for (const in_addr& address : lookupIpv4(std::string(host), SOCK_DGRAM)) {
        char text[22] = {};
        if (::inet_ntop(AF_INET, &address, text, sizeof text) != nullptr) texts.emplace_back(text);
    }
    return texts;
}

std::optional<Ipv4Address> firstIpv4Address(const std::string& host) {
    const std::vector<in_addr> addresses = lookupIpv4(host, 0);
    if (addresses.empty()) return std::nullopt;
    Ipv4Address bytes;
    std::memcpy(bytes.data(), &addresses.front(), bytes.size());
    return bytes;
}

}  // namespace varnel::platform
