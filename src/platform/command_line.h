#pragma once
// The launch parameters are one line of text, as the Windows launch takes them. Where a program needs
// an argument vector instead, the line is split the way it was built: at spaces, with a double-quoted
// piece (paths) kept whole and its quotes removed.

#include <string>
#include <string_view>
#include <vector>

namespace varnel::platform {

std::vector<std::string> splitParameters(std::string_view parameters);

}  // namespace varnel::platform
