#pragma once
// What the kill-switch service does with one client: who may command it, which reply each request
// gets, and what it does to the rules. The socket and nftables are reached through the platform
// layer; Firewall lets tests stand in for nftables.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/service/control_socket.h"
#include "service/status.h"

namespace varnel::service {

// A command line is far shorter than this; more without a line feed is not a command.
inline constexpr std::size_t kRequestLineMax = 4096;
// How long a client has to send its whole line: shorter than the client waits for its reply, so
// even a client that sent half a line hears why it was refused.
inline constexpr int kRequestTimeoutMs = 2000;
// The client reads the reply once, into 255 bytes.
inline constexpr std::size_t kReplyMax = 255;

class Firewall {
public:
    virtual ~Firewall() = default;
    // Runs an nft script as one transaction; false with nft's message when it was refused.
    virtual bool run(const std::string& script, std::string& output, std::string& error) = 0;
};

struct Outcome {
    std::string reply;  // 1 to kReplyMax bytes, ending in a line feed
    std::string log;    // one line for the service's log, without untrusted bytes
};

// Root, the group's members (by primary or supplementary group) and nobody else.
bool peerMayCommand(const platform::PeerCredentials& peer, std::uint32_t allowedGroup);
Outcome refusePeer(const platform::PeerCredentials& peer);

// Parses the request and changes the rules for a well-formed command; anything else is refused
// and leaves the rules as they are.
Outcome handleRequest(const platform::ReceivedLine& request, Firewall& firewall);

// Reads our table back; false with the reason when nft could not be asked.
bool readRuleset(Firewall& firewall, RulesetSummary& summary, std::string& error);

}  // namespace varnel::service
