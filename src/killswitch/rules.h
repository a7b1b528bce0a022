#pragma once
// The ENABLE command: what the kill-switch service lets through while it blocks everything else.

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel::killswitch {

// "ENABLE PROTOCOL PORT FLAG ADDRESSES PROGRAM": "any" for an empty protocol, "none" for no
// addresses; the program path runs to the end of the line, spaces and all.
std::string composeEnableCommand(std::string_view protocol, std::int32_t port, bool sessionWanted,
                                 std::string_view addresses, std::string_view programUtf8);

}  // namespace varnel::killswitch
