#pragma once
// A TCP server on 127.0.0.1 for tests that play the far end of a connection (a scripted management interface).

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace varnel::test {

class LoopbackConnection {
public:
    explicit LoopbackConnection(platform::Socket socket) : socket_(std::move(socket)) {}

    // The next line the client sent, without its CR LF; gives up after timeoutMs without a byte.
    enum class Read { Line, Timeout, Closed };
    Read readLineWithin(std::string& line, int timeoutMs);
    bool readLine(std::string& line) { return readLineWithin(line, std::numeric_limits<int>::max()) == Read::Line; }
    void send(std::string_view bytes) { platform::sendOnce(socket_, bytes); }
    void close() { socket_.close(); }

private:
    platform::Socket socket_;
    std::string pending_;
};

class LoopbackServer {
public:
    // On an ephemeral port, or the given one; throws std::runtime_error when it is taken.
    explicit LoopbackServer(std::uint16_t port = 0) : LoopbackServer(port, true) {}

    std::uint16_t port() const { return port_; }
    std::optional<LoopbackConnection> acceptWithin(int timeoutMs);
    LoopbackConnection accept() { return acceptWithin(std::numeric_limits<int>::max()).value(); }

protected:
    LoopbackServer(std::uint16_t port, bool listening);

private:
    platform::Socket listener_;
    std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 held bound, not listening: no other test takes it, every connect is refused.
class ReservedPort : private LoopbackServer {
public:
    ReservedPort() : LoopbackServer(0, false) {}
    using LoopbackServer::port;
};

}  // namespace varnel::test
