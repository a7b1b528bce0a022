#include <stdexcept>

#include "support/loopback_server.h"
#ifdef _WIN32
#include "platform/win32/socket_api.h"
#else
#include "platform/posix/socket_api.h"
#endif

namespace varnel::test {

namespace {

// A TCP socket bound (and listening) on 127.0.0.1:port (0: one the system picks), and the port it got.
platform::Socket boundLoopback(std::uint16_t& port, bool listening) {
    platform::startSockets();
    platform::Socket socket(static_cast<platform::Socket::Native>(::socket(AF_INET, SOCK_STREAM, 0)));
#ifndef _WIN32
    // A fixed port must be free again while an earlier listener's connections linger in TIME_WAIT.
    const int reuse = 1;
    if (port != 0) ::setsockopt(socket.native(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (!socket.valid() || ::bind(socket.native(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(socket.native(), 8) != 0) ||
        ::getsockname(socket.native(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind 127.0.0.1:" + std::to_string(port));
    port = ntohs(address.sin_port);
    return socket;
}

}  // namespace

LoopbackConnection::Read LoopbackConnection::readLineWithin(std::string& line, int timeoutMs) {
    while (pending_.find('\n') == std::string::npos) {
        if (!socket_.valid()) return Read::Closed;
        const platform::WaitResult ready = platform::waitReadable(socket_, timeoutMs);
        if (ready == platform::WaitResult::Timeout) return Read::Timeout;
        char buffer[1024];
        const long n = ready == platform::WaitResult::Readable ? platform::receiveSome(socket_, buffer, sizeof buffer) : 0;
        if (n <= 0) return Read::Closed;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t end = pending_.find('\n');
    line = pending_.substr(0, end > 0 && pending_[end - 1] == '\r' ? end - 1 : end);
    pending_.erase(0, end + 1);
    return Read::Line;
}

LoopbackServer::LoopbackServer(std::uint16_t port, bool listening) : port_(port) { listener_ = boundLoopback(port_, listening); }

std::optional<LoopbackConnection> LoopbackServer::acceptWithin(int timeoutMs) {
    if (platform::waitReadable(listener_, timeoutMs) != platform::WaitResult::Readable) return std::nullopt;
    platform::Socket client(static_cast<platform::Socket::Native>(::accept(listener_.native(), nullptr, nullptr)));
    if (!client.valid()) throw std::runtime_error("accept failed");
    return LoopbackConnection(std::move(client));
}

}  // namespace varnel::test
