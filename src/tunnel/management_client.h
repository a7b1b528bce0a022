#pragma once
// OpenVPN's management interface on 127.0.0.1: connecting, sending commands, and reading its state
// lines into the three status words.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/socket.h"

namespace varnel::tunnel {

struct TunnelControl;

// One connect to the management port, given up after a second; none when nobody answers. Callers retry.
platform::Socket ManagementConnect(std::uint16_t port);
// Answers the interface's password prompt; true once OpenVPN says the password is correct. Reads no
// byte past that answer, so the next reader starts at a line's beginning.
bool ManagementLogin(const platform::Socket& socket, std::string_view password);
// Sends command and CR LF in one send; nothing for none, and the result is not looked at.
void ManagementSend(const platform::Socket& socket, std::string_view command);

// The status word for one of OpenVPN's state names (exact and case-sensitive); nullptr for a name
// that changes nothing.
const char* MapOpenVpnState(std::string_view stateName);

// The state name of a real-time report (">STATE:time,NAME,..."), without trailing CR and LF.
std::optional<std::string_view> stateNameOfReport(std::string_view line);
// The state name of a line of the reply to "state" ("time,NAME,..."), which carries no prefix.
std::optional<std::string_view> stateNameOfReply(std::string_view line);

// Applies one real-time report to the tunnel state: a mapped state sets the status, and
// "connected" clears the message.
void StateLineParser(TunnelControl& tunnel, std::string_view line);

}  // namespace varnel::tunnel
