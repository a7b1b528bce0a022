#pragma once
// The one request/reply exchange with the kill-switch service: a named pipe on Windows, a Unix
// stream socket on Linux. The service is outside the system; an absent or busy one gives an empty
// reply and never an error.

#include <functional>
#include <string>
#include <string_view>

namespace varnel::platform {

// Opens tried before a busy service is given up, and the wait between two of them.
inline constexpr int kKillSwitchOpenAttempts = 6;
inline constexpr unsigned kKillSwitchBusyWaitMs = 500;
// The single read takes at most this many bytes of the reply.
inline constexpr std::size_t kKillSwitchReplyMax = 255;
// How long the service has to take the command and answer it; after that the reply is empty, as
// from an absent service, so that a hung service never holds its caller.
inline constexpr unsigned kKillSwitchReplyTimeoutMs = 3000;

// "\\.\pipe\VarnelKillSwitch" on Windows; $VARNEL_KILLSWITCH_SOCKET or "/run/VarnelKillSwitch.sock"
// on Linux. UTF-8.
std::string defaultKillSwitchChannel();

struct KillSwitchReply {
    std::string bytes;  // empty when nothing could be exchanged or the service answered nothing
    int opens = 0;      // how many times the channel was opened or tried
};

// Opens the channel (waiting kKillSwitchBusyWaitMs after each busy open, at most
// kKillSwitchOpenAttempts opens), writes the bytes with one write and reads once, giving up on both
// after kKillSwitchReplyTimeoutMs. A channel that does not exist, or (Linux) a socket file nobody
// listens on, is an absent service: one failed open. onBusy, when given, is told the number of each
// open that found the service busy, before the wait that follows.
KillSwitchReply exchangeKillSwitchBytes(const std::string& channel, std::string_view bytes,
                                        const std::function<void(int opens)>& onBusy = nullptr);

}  // namespace varnel::platform
