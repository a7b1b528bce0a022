#pragma once
// Turns OpenVPN's log into the one plain sentence the user sees when a tunnel fails or drops.

#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace varnel::tunnel {

// The sentence for a log file: a fixed message when a known failure appears, else the most telling
// line. Empty when the file cannot be read or holds no non-empty line.
std::string ClassifyOpenVpnLog(const platform::PathText& logPath);

// The same for a log already read (the lines as OpenVPN wrote them).
std::string classifyLogText(std::string_view text);

}  // namespace varnel::tunnel
