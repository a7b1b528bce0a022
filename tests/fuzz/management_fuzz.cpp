// OpenVPN's management stream, each 0xFF byte of the input ending one send: each line through the
// state-line functions, then the stream through a socket pair into ManagementReader (Linux only).

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "fuzz_check.h"
#include "killswitch/kill_switch.h"
#include "tunnel/management_client.h"
#include "tunnel/management_reader.h"
#include "tunnel/tunnel.h"

namespace varnel::fuzz {
namespace {

constexpr std::size_t kReadSize = 8191;        // the reader's buffer: a send no longer arrives as one read
constexpr std::size_t kLineLimit = 64 * 1024;  // the longest unfinished line the reader holds

void checkLine(std::string_view line) {
    const auto report = tunnel::stateNameOfReport(line), reply = tunnel::stateNameOfReply(line);
    for (const auto& name : {report, reply})
        if (name) {
            require(name->data() >= line.data() && name->data() + name->size() <= line.data() + line.size(), "a state name is part of its line");
            require(name->find(',') == std::string_view::npos && (name->empty() || (name->back() != '\r' && name->back() != '\n')),
                    "a state name holds no comma and no line end");
        }
    if (reply) require(tunnel::stateNameOfReport(">STATE:" + std::string(line)) == reply, "a reply line reads as its report");

    tunnel::TunnelControl control;
    control.state.status = "before";
    control.state.message = "kept";
    tunnel::StateLineParser(control, line);
    const char* word = report ? tunnel::MapOpenVpnState(*report) : nullptr;
    require(control.state.status == (word ? word : "before"), "a report sets the status its state maps to, or none");
    // By text: a string literal's address may differ from one translation unit to the next.
    const bool connected = word && std::string_view(word) == tunnel::kStatusConnected;
    require(control.state.message == (connected ? "" : "kept"), "only connected clears the message");
}

struct Outcome {
    std::string status, message;
    bool socketReleased;
    bool operator==(const Outcome&) const = default;
};

// SOCK_SEQPACKET makes each send one read (TCP may cut anywhere: the input says where); a second
// thread sends, since the pair queues only a few messages.
Outcome readThrough(const std::vector<std::string_view>& sends) {
    static tunnel::Tunnel tunnel(tunnel::TunnelServices{.dataFolder = storage::DataFolder({})},
                         std::make_shared<killswitch::KillSwitch>("", platform::PathText(), platform::PathText()));
    int ends[2];
    require(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) == 0, "socketpair");
    auto socket = std::make_shared<platform::Socket>(ends[0]);
    tunnel::TunnelControl& control = tunnel.control;
    control.state = {.status = tunnel::kStatusConnecting, .message = "before", .managementSocket = socket};
    std::jthread peer([&sends, end = ends[1]] {
        for (std::string_view bytes : sends)
            if (::send(end, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) break;
        ::shutdown(end, SHUT_WR);
    });
    tunnel::ManagementReader(tunnel, socket, std::stop_token());
    socket->close();  // a reader that gave up early leaves sends unread: closing its end fails them
    peer.join();
    ::close(ends[1]);
    std::lock_guard lock(control.lock);
    const Outcome outcome{control.state.status, control.state.message, control.state.managementSocket == nullptr};
    control.state.managementSocket.reset();
    return outcome;
}

}  // namespace

void fuzzOne(std::string_view input) {
    // The sends, none longer than a read; and the stream the reader sees, which ends each read at its first NUL.
    std::vector<std::string_view> sends;
    std::string seen;
    for (std::size_t start = 0; start < input.size();) {
        const std::size_t end = std::min(input.find('\xFF', start), input.size());
        for (std::size_t at = start; at < end; at += kReadSize) {
            sends.push_back(input.substr(at, std::min(kReadSize, end - at)));
            seen.append(sends.back().data(), strnlen(sends.back().data(), sends.back().size()));
        }
        start = end + 1;
    }
    for (std::size_t start = 0; start < seen.size();) {
        const std::size_t end = std::min(seen.find('\n', start), seen.size() - 1);
        checkLine(std::string_view(seen).substr(start, end - start + 1));
        start = end + 1;
    }
    const Outcome inSends = readThrough(sends);
    require(inSends.status == tunnel::kStatusDisconnected && inSends.socketReleased, "a closed connection ends the session and the reader lets go of it");
    // Past the line limit the drop comes at a read's end, which the split does decide.
    if (seen.size() > kLineLimit || sends.size() <= 1) return;
    std::vector<std::string_view> whole;
    for (std::size_t at = 0; at < seen.size(); at += kReadSize) whole.push_back(std::string_view(seen).substr(at, kReadSize));
    require(readThrough(whole) == inSends, "where reads split the stream changes nothing");
}

}  // namespace varnel::fuzz
