#pragma once
// Whether a test can make the build's file dialog fail by hiding the display from it.

#include <string>

namespace varnel::test {

// Why it cannot on this build, or "" when clearing DISPLAY and WAYLAND_DISPLAY is enough.
std::string dialogCannotBeDeniedADisplay();

}  // namespace varnel::test
