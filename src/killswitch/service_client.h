#pragma once
// The client of the kill-switch service: one command line out, one reply back.

#include <string>
#include <string_view>

namespace varnel {
struct Runtime;
}

namespace varnel::killswitch {

inline constexpr std::string_view kDisableCommand = "DISABLE";

// Sends the command and a line feed over the runtime's kill-switch channel and returns the reply.
// An absent or busy service gives an empty reply; blocks during the busy waits and until the
// service answers.
std::string killSwitchTransact(const Runtime& runtime, std::string_view command);

}  // namespace varnel::killswitch
