#pragma once

#include <string>

namespace varnel::test {

// Why windows cannot be made here (Windows without a display), or "" when they can or none are needed.
std::string desktopMissingReason();

}  // namespace varnel::test
