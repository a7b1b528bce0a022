#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/network_adapters.h"

namespace varnel::platform {

namespace fs = std::filesystem;

namespace {

const fs::path kNetClass = "/sys/class/net";

bool readNumber(const fs::path& file, std::uint64_t& value, std::ios_base& (*base)(std::ios_base&) = std::dec) {
    std::ifstream in(file);
    return static_cast<bool>(in >> base >> value);
}

// tun and tap interfaces are the ones with tun_flags; IFF_UP is bit 0 of flags.
class LinuxNetworkAdapters final : public NetworkAdapters {
public:
    bool tapAdapterPresent() override {
        std::error_code ignored;
        return fs::exists("/dev/net/tun", ignored);
    }

    std::optional<std::uint64_t> activeTapAdapter() override {
        std::optional<std::uint64_t> lowest;
        std::error_code error;
        for (fs::directory_iterator it(kNetClass, error), end; !error && it != end; it.increment(error)) {
            std::uint64_t flags = 0, index = 0;
            if (!fs::exists(it->path() / "tun_flags", error) || !readNumber(it->path() / "flags", flags, std::hex)) continue;
            if ((flags & 1) == 0 || !readNumber(it->path() / "ifindex", index)) continue;
            // The lowest index stands first, so the choice does not depend on the listing order.
            if (!lowest || index < *lowest) lowest = index;
        }
        return lowest;
    }

    bool readCounters(std::uint64_t adapter, std::uint64_t& inOctets, std::uint64_t& outOctets) override {
        std::error_code error;
        for (fs::directory_iterator it(kNetClass, error), end; !error && it != end; it.increment(error)) {
            std::uint64_t index = 0;
            if (!readNumber(it->path() / "ifindex", index) || index != adapter) continue;
            return readNumber(it->path() / "statistics" / "rx_bytes", inOctets) &&
                   readNumber(it->path() / "statistics" / "tx_bytes", outOctets);
        }
        return false;
    }
};

class MonotonicClock final : public Clock {
public:
    std::uint64_t nowMs() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    }
};

}  // namespace

std::shared_ptr<NetworkAdapters> systemNetworkAdapters() { return std::make_shared<LinuxNetworkAdapters>(); }
std::shared_ptr<Clock> systemClock() { return std::make_shared<MonotonicClock>(); }

}  // namespace varnel::platform
