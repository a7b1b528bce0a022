#include "support/environment.h"

#include <cstdlib>

namespace varnel::test {

void setEnvironmentVariable(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

std::string sessionBusNeededButMissing() {
    return std::getenv("DBUS_SESSION_BUS_ADDRESS") ? "" : "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
}

}  // namespace varnel::test
