#pragma once
// A TCP server on 127.0.0.1 for tests that play the far end of a loopback connection (a scripted
// management interface, for example). One connection at a time, driven by the test.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace varnel::test {

class LoopbackConnection {
public:
    explicit LoopbackConnection(platform::Socket socket) : socket_(std::move(socket)) {}

    // The next line the client sent, without its CR LF; false when the client closed.
    bool readLine(std::string& line);
    // The same, but gives up when no byte arrives for timeoutMs, so one thread can also keep time.
    enum class Read { Line, Timeout, Closed };
    Read readLineWithin(std::string& line, int timeoutMs);
    void send(std::string_view bytes) { platform::sendOnce(socket_, bytes); }
    void close() { socket_.close(); }

private:
    platform::Socket socket_;
    std::string pending_;
};

class LoopbackServer {
public:
    // Listens on an ephemeral port of 127.0.0.1, or on the given one; throws std::runtime_error when
    // it is taken.
    explicit LoopbackServer(std::uint16_t port = 0);

    std::uint16_t port() const { return port_; }
    // Waits for the next client.
    LoopbackConnection accept();
    // The next client, or nothing when none comes within timeoutMs.
    std::optional<LoopbackConnection> acceptWithin(int timeoutMs);
    // Stops listening, so that connects are refused.
    void stop() { listener_.close(); }

private:
    platform::Socket listener_;
    std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 held bound but not listening for as long as the object lives: no other
// test can take it, and every connect to it is refused.
class ReservedPort {
public:
    ReservedPort();
    std::uint16_t port() const { return port_; }

private:
    platform::Socket socket_;
    std::uint16_t port_ = 0;
};

}  // namespace varnel::test
