#pragma once
// Sets a variable in this test program's environment, which the programs it starts inherit.

#include <string>

namespace varnel::test {

void setEnvironmentVariable(const std::string& name, const std::string& value);

// Why the build's secret store cannot be reached without a session bus, or "" when it needs none or
// one is there.
std::string sessionBusNeededButMissing();

}  // namespace varnel::test
