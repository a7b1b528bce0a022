#include "platform/temporary_name.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace varnel::platform {

std::string temporaryFileName(unsigned long processId) {
    static std::atomic<unsigned long> counter{0};
    const auto clock = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char name[80];
    std::snprintf(name, sizeof name, "~varnel-%lx-%lx-%llx.tmp", processId, counter++, clock & 0xFFFFFFFFull);
    return name;
}

}  // namespace varnel::platform
