#pragma once
// The commands the kill-switch service takes: one line per connection, "DISABLE" or
// "ENABLE PROTOCOL PORT FLAG ADDRESSES PROGRAM". Parsing is strict, because a line that is not
// understood must change nothing.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace varnel::service {

// What the server rules let through to the listed addresses.
enum class Transport { Any, Udp, Tcp };

struct DisableCommand {};

struct EnableCommand {
    Transport transport = Transport::Any;
    std::string protocol;  // as the profile names it, for the log
    std::uint16_t port = 0;  // 0: every port
    bool sessionWanted = false;
    std::vector<std::string> addresses;  // dotted IPv4, each once, in the order given
    std::string program;
};

struct CommandError {
    std::string reason;  // a few words, sent back after "ERROR: "
};

using Command = std::variant<DisableCommand, EnableCommand, CommandError>;

// The line without its line feed (a carriage return before it is allowed and dropped).
Command parseCommand(std::string_view line);

// OpenVPN's protocol names, and "any"; false for anything else.
bool transportOfProtocol(std::string_view protocol, Transport& transport);
// Dotted-decimal IPv4 as inet_pton takes it: four decimal parts of 0 to 255 without leading zeros.
bool isDottedIpv4(std::string_view text);

}  // namespace varnel::service
