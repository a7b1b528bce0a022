// OpenVPN's management interface as the management reader receives it: the input is the byte stream
// OpenVPN sends, and each 0xFF byte in it ends one send (the reader gives 0xFF no meaning of its own).
// Each line goes through the state-line functions directly, then the whole stream goes through a
// connected socket pair into ManagementReader on a tunnel, once in the input's sends and once in as
// few long reads; where the reads split a stream must not change what the reader makes of it.
// Linux only: the socket pair is the system's own.

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "fuzz_check.h"
#include "killswitch/kill_switch.h"
#include "tunnel/management_client.h"
#include "tunnel/management_reader.h"
#include "tunnel/tunnel.h"

namespace {

using varnel::fuzz::require;

// The reader's receive buffer: a send no longer than this arrives as one read.
constexpr std::size_t kReadSize = 8191;
// The longest unfinished line the reader holds before it gives up on the peer.
constexpr std::size_t kLineLimit = 64 * 1024;

void checkLine(std::string_view line) {
    const auto report = varnel::tunnel::stateNameOfReport(line), reply = varnel::tunnel::stateNameOfReply(line);
    for (const auto& name : {report, reply}) {
        if (!name) continue;
        require(name->data() >= line.data() && name->data() + name->size() <= line.data() + line.size(), "a state name is part of its line");
        require(name->find(',') == std::string_view::npos, "a state name holds no comma");
        require(name->empty() || (name->back() != '\r' && name->back() != '\n'), "a state name has no line end");
    }
    // The reader turns a reply line into a report by putting the prefix in front.
    if (reply) require(varnel::tunnel::stateNameOfReport(">STATE:" + std::string(line)) == reply, "a reply line reads as its report");

    varnel::tunnel::TunnelControl control;
    control.state.status = "before";
    control.state.message = "kept";
    varnel::tunnel::StateLineParser(control, line);
    const char* word = report ? varnel::tunnel::MapOpenVpnState(*report) : nullptr;
    require(control.state.status == (word ? word : "before"), "a report sets the status its state maps to, or none");
    // By text: a string literal's address may differ from one translation unit to the next.
    const bool connected = word && std::string_view(word) == varnel::tunnel::kStatusConnected;
    require(control.state.message == (connected ? "" : "kept"), "only connected clears the message");
}

struct Outcome {
    std::string status, message;
    bool socketReleased;
    bool operator==(const Outcome&) const = default;
};

// Runs the reader on one end of a socket pair until the other end has sent sends and closed. The
// pair keeps message boundaries (SOCK_SEQPACKET), so each send, none longer than the reader's
// buffer, is exactly one read: OpenVPN's TCP connection may cut the stream anywhere, and the input
// says where. The pair queues only a few messages, so a second thread sends them.
Outcome readThrough(const std::vector<std::string_view>& sends) {
    // The reader needs no service: no log to classify, and the kill switch is off.
    static varnel::tunnel::Tunnel tunnel(varnel::tunnel::TunnelServices{.dataFolder = varnel::storage::DataFolder({})},
                                 std::make_shared<varnel::killswitch::KillSwitch>("", varnel::platform::PathText(), varnel::platform::PathText()));
    int ends[2];
    require(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) == 0, "socketpair");
    auto socket = std::make_shared<varnel::platform::Socket>(ends[0]);
    varnel::tunnel::TunnelControl& control = tunnel.control;
    {
        std::lock_guard lock(control.lock);
        control.state.status = varnel::tunnel::kStatusConnecting;
        control.state.message = "before";
        control.state.managementSocket = socket;
    }
    std::jthread peer([&sends, end = ends[1]] {
        for (std::string_view bytes : sends)
            if (::send(end, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) break;
        ::shutdown(end, SHUT_WR);
    });
    varnel::tunnel::ManagementReader(tunnel, socket, std::stop_token());
    socket->close();  // a reader that gave up early leaves sends unread: closing its end fails them
    peer.join();
    ::close(ends[1]);

    std::lock_guard lock(control.lock);
    const Outcome outcome{control.state.status, control.state.message, control.state.managementSocket == nullptr};
    control.state.managementSocket.reset();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The sends, none longer than a read; and the stream the reader sees, which ends each read at
    // its first NUL as the reader does.
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
    require(inSends.status == varnel::tunnel::kStatusDisconnected, "the session is over once the connection closes");
    require(inSends.socketReleased, "the reader lets go of its connection");
    // Past the reader's line limit the drop comes at a read's end, which the split does decide.
    if (seen.size() > kLineLimit || sends.size() <= 1) return 0;
    // The same stream in reads as long as the reader takes.
    std::vector<std::string_view> whole;
    for (std::size_t at = 0; at < seen.size(); at += kReadSize) whole.push_back(std::string_view(seen).substr(at, kReadSize));
    require(readThrough(whole) == inSends, "where reads split the stream changes nothing");
    return 0;
}
