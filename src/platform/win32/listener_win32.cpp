#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <vector>

#include "platform/listener.h"
#include "platform/openvpn_install.h"
#include "platform/process_list.h"
#include "platform/files.h"

namespace varnel::platform {

namespace {

// The owner of the listening socket on 127.0.0.1:port (or any address), 0 when there is none.
std::uint32_t listenerOwner(std::uint16_t port) {
    std::vector<unsigned char> buffer(16 * 1024);
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD status;
    while ((status = GetExtendedTcpTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0)) ==
           ERROR_INSUFFICIENT_BUFFER)
        buffer.resize(size);
    if (status != NO_ERROR) return 0;
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        const bool loopbackOrAny = row.dwLocalAddr == htonl(INADDR_LOOPBACK) || row.dwLocalAddr == htonl(INADDR_ANY);
        if (loopbackOrAny && ntohs(static_cast<u_short>(row.dwLocalPort)) == port) return row.dwOwningPid;
    }
    return 0;
}

}  // namespace

bool listenerIsOpenVpn(std::uint16_t port, std::uint32_t expectedPid) {
    const std::uint32_t owner = listenerOwner(port);
    if (owner == 0) return false;
    if (expectedPid != 0) return owner == expectedPid;
    for (const ProcessEntry& entry : listProcesses())
        if (entry.pid == owner) return CompareStringOrdinal(utf8ToPathText(entry.exeName).c_str(), -1, kOpenVpnProgramName, -1, TRUE) == CSTR_EQUAL;
    return false;
}

std::uint32_t loopbackListenerPid(std::uint16_t port) { return listenerOwner(port); }

}  // namespace varnel::platform
