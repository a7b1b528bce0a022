#pragma once
// Ending running programs by executable file name, at once and without asking them to close.

#include <string>
#include <string_view>
#include <vector>

#include "bridge/js_value.h"

namespace varnel::util {

// Lower case as the C library's tolower in the "C" locale: only A to Z change, every other byte
// (each byte of a non-ASCII character included) stays.
std::string foldAsciiCase(std::string_view text);

// Ends every process, but our own, whose executable file name equals one of names apart from the
// case of A to Z; no path, partial or wildcard match. {"terminated": [the names of the processes
// ended, spelled as the system reports them, in the system's order]}.
bridge::JSValueObject terminateApps(const std::vector<std::string>& names);

}  // namespace varnel::util
