#pragma once
// The ENABLE command: what the kill-switch service lets through while it blocks everything else.

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {
struct Runtime;
}

namespace varnel::killswitch {

// "ENABLE PROTOCOL PORT FLAG ADDRESSES PROGRAM": "any" for an empty protocol, "none" for no
// addresses; the program path runs to the end of the line, spaces and all.
std::string composeEnableCommand(std::string_view protocol, std::int32_t port, bool sessionWanted,
                                 std::string_view addresses, std::string_view programUtf8);

// Sends ENABLE for the server fields of the tunnel state. sessionWanted is false only for the
// user's disconnect; while it is true and no server address is known, nothing is sent, since rules
// without the server would block the tunnel itself. Blocks during the exchange.
void applyKillSwitch(Runtime& runtime, bool sessionWanted);

}  // namespace varnel::killswitch
