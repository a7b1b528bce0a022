#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>

#include "platform/icmp.h"
#include "platform/win32/winsock_session.h"

namespace varnel::platform {

namespace {

// One reply record, the echoed payload and 8 bytes of room: 80 bytes on x86-64.
constexpr DWORD kReplyBufferSize = sizeof(ICMP_ECHO_REPLY) + kEchoPayloadSize + 8;
static_assert(kReplyBufferSize == 80);

}  // namespace

std::optional<Ipv4Address> firstIpv4Address(const std::string& host) {
    ensureWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return std::nullopt;
    std::optional<Ipv4Address> address;
    if (list->ai_addr != nullptr && list->ai_addr->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
        Ipv4Address bytes;
        std::memcpy(bytes.data(), &in->sin_addr, 4);
        address = bytes;
    }
    freeaddrinfo(list);
    return address;
}

std::optional<std::uint32_t> icmpEcho(const Ipv4Address& address) {
    const HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) return std::nullopt;
    IPAddr destination;
    std::memcpy(&destination, address.data(), 4);
    char request[kEchoPayloadSize] = {};
    alignas(ICMP_ECHO_REPLY) unsigned char reply[kReplyBufferSize] = {};
    const DWORD replies = IcmpSendEcho(icmp, destination, request, static_cast<WORD>(sizeof request), nullptr, reply,
                                       kReplyBufferSize, kEchoTimeoutMs);
    std::optional<std::uint32_t> roundTrip;
    const auto* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    if (replies >= 1 && first->Status == IP_SUCCESS) roundTrip = first->RoundTripTime;
    IcmpCloseHandle(icmp);
    return roundTrip;
}

}  // namespace varnel::platform
