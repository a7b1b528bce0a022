#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>

#include "platform/icmp.h"
#include "platform/win32/unique_handle.h"

namespace varnel::platform {

namespace {

// One reply record, the echoed payload and 8 bytes of room: 80 bytes on x86-64.
constexpr DWORD kReplyBufferSize = sizeof(ICMP_ECHO_REPLY) + kEchoPayloadSize + 8;
static_assert(kReplyBufferSize == 80);

struct IcmpHandleTraits : HandleTraits {
    static void close(HANDLE handle) { IcmpCloseHandle(handle); }
};
using IcmpHandle = UniqueResource<IcmpHandleTraits>;

}  // namespace

std::optional<std::uint32_t> icmpEcho(const Ipv4Address& address) {
    const IcmpHandle icmp(IcmpCreateFile());
    if (!icmp.valid()) return std::nullopt;
    IPAddr destination;
    std::memcpy(&destination, address.data(), 4);
    char request[kEchoPayloadSize] = {};
    alignas(ICMP_ECHO_REPLY) unsigned char reply[kReplyBufferSize] = {};
    const DWORD replies = IcmpSendEcho(icmp.get(), destination, request, static_cast<WORD>(sizeof request), nullptr, reply,
                                       kReplyBufferSize, kEchoTimeoutMs);
    std::optional<std::uint32_t> roundTrip;
    const auto* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
    if (replies >= 1 && first->Status == IP_SUCCESS) roundTrip = first->RoundTripTime;
    return roundTrip;
}

}  // namespace varnel::platform
