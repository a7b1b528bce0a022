#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <optional>
#include <vector>

#include "platform/listener.h"
#include "platform/openvpn_install.h"
#include "platform/process_list.h"
#include "platform/files.h"

namespace varnel::platform {

namespace {

// The owner of the listening socket on 127.0.0.1:port (or any address): nothing when nobody listens
// there, 0 when the system does not say (Wine does not).
std::optional<std::uint32_t> listenerOwner(std::uint16_t port) {
    std::vector<unsigned char> buffer(16 * 1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD status;
    while ((status = GetExtendedTcpTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0)) ==
           ERROR_INSUFFICIENT_BUFFER)
        buffer.resize(size);
    if (status != NO_ERROR) return std::nullopt;
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        const bool loopbackOrAny = row.dwLocalAddr == htonl(INADDR_LOOPBACK) || row.dwLocalAddr == htonl(INADDR_ANY);
        if (loopbackOrAny && ntohs(static_cast<u_short>(row.dwLocalPort)) == port) return row.dwOwningPid;
    }
    return std::nullopt;
}

}  // namespace

bool listenerIsOpenVpn(std::uint16_t port, std::uint32_t expectedPid) {
    const std::optional<std::uint32_t> found = listenerOwner(port);
    if (!found) return false;
    // Where the owner is hidden from us the management password alone has to tell.
    const std::uint32_t owner = *found;
    if (owner == 0) return true;
    if (expectedPid != 0) return owner == expectedPid;
    for (const ProcessEntry& entry : listProcesses())
        if (entry.pid == owner) return CompareStringOrdinal(utf8ToPathText(entry.exeName).c_str(), -1, kOpenVpnProgramName, -1, TRUE) == CSTR_EQUAL;
    return false;
}

std::uint32_t loopbackListenerPid(std::uint16_t port) { return listenerOwner(port).value_or(0); }

}  // namespace varnel::platform
