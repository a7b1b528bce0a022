#include <winsock2.h>
#include <ws2tcpip.h>  // before iphlpapi.h, which then declares the interface-row calls
#include <iphlpapi.h>
#include <netioapi.h>

#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "platform/network_adapters.h"

namespace varnel::platform {

namespace {

// Calls fn for each TAP adapter in the system's order until it returns true.
void forEachTapAdapter(const std::function<bool(const IP_ADAPTER_ADDRESSES&)>& fn) {
    const ULONG flags = GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                        GAA_FLAG_INCLUDE_ALL_INTERFACES;  // 271
    ULONG size = 16384;
    std::vector<unsigned char> buffer(size);
    ULONG result = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.resize(size);
        result = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return;
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
        if (a->Description == nullptr) continue;
        std::wstring lower(a->Description);
        for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
        if (lower.find(L"tap-windows") != std::wstring::npos && fn(*a)) return;
    }
}

class Win32NetworkAdapters final : public NetworkAdapters {
public:
    bool tapAdapterPresent() override {
        bool found = false;
        forEachTapAdapter([&](const IP_ADAPTER_ADDRESSES&) { return found = true; });
        return found;
    }

    std::optional<std::uint64_t> activeTapAdapter() override {
        std::optional<std::uint64_t> luid;
        forEachTapAdapter([&](const IP_ADAPTER_ADDRESSES& a) {
            if (a.OperStatus != IfOperStatusUp) return false;
            luid = a.Luid.Value;
            return true;
        });
        return luid;
    }

    bool readCounters(std::uint64_t adapter, std::uint64_t& inOctets, std::uint64_t& outOctets) override {
        MIB_IF_ROW2 row{};
        row.InterfaceLuid.Value = adapter;
        if (GetIfEntry2(&row) != NO_ERROR) return false;
        inOctets = row.InOctets;
        outOctets = row.OutOctets;
        return true;
    }
};

class TickClock final : public Clock {
public:
    std::uint64_t nowMs() override { return GetTickCount64(); }
};

}  // namespace

std::shared_ptr<NetworkAdapters> systemNetworkAdapters() { return std::make_shared<Win32NetworkAdapters>(); }
std::shared_ptr<Clock> systemClock() { return std::make_shared<TickClock>(); }

}  // namespace varnel::platform
