#pragma once
// What this machine offers the tests: its environment variables, a session bus and a display.

#include <string>

namespace varnel::test {

// Sets a variable in this test program's environment, which the programs it starts inherit.
void setEnvironmentVariable(const std::string& name, const std::string& value);

// Why the build's secret store cannot be reached without a session bus, or "" when it needs none or one is there.
std::string sessionBusNeededButMissing();

// Why windows cannot be made here (Windows without a display), or "" when they can or none are needed.
std::string desktopMissingReason();

}  // namespace varnel::test
