#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "platform/win32/winsock_session.h"
#include "support/loopback_server.h"

namespace varnel::test {

namespace {
// True when the socket has something to read (or to report, such as its peer closing).
bool selectReadable(SOCKET s, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &limit) != 0;
}

}  // namespace

struct LoopbackConnection::Impl {
    SOCKET s;
    ~Impl() {
        if (s != INVALID_SOCKET) closesocket(s);
    }
};

LoopbackConnection::LoopbackConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LoopbackConnection::LoopbackConnection(LoopbackConnection&&) noexcept = default;
LoopbackConnection::~LoopbackConnection() = default;

long LoopbackConnection::receive(char* buffer, std::size_t size) {
    return impl_->s == INVALID_SOCKET ? 0 : ::recv(impl_->s, buffer, static_cast<int>(size), 0);
}

bool LoopbackConnection::waitReadable(int timeoutMs) { return impl_->s == INVALID_SOCKET || selectReadable(impl_->s, timeoutMs); }

void LoopbackConnection::send(std::string_view bytes) {
    if (impl_->s != INVALID_SOCKET) ::send(impl_->s, bytes.data(), static_cast<int>(bytes.size()), 0);
}

void LoopbackConnection::close() {
    if (impl_->s != INVALID_SOCKET) closesocket(impl_->s);
    impl_->s = INVALID_SOCKET;
}

LoopbackServer::LoopbackServer() : LoopbackServer(0) {}

LoopbackServer::LoopbackServer(std::uint16_t port) {
    platform::ensureWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof address;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 8) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    listener_ = static_cast<std::intptr_t>(s);
    port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() { stop(); }

ReservedPort::ReservedPort() {
    platform::ensureWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("could not reserve a loopback port");
    socket_ = static_cast<std::intptr_t>(s);
    port_ = ntohs(address.sin_port);
}

ReservedPort::~ReservedPort() { closesocket(static_cast<SOCKET>(socket_)); }

void LoopbackServer::stop() {
    if (listener_ != -1) closesocket(static_cast<SOCKET>(listener_));
    listener_ = -1;
}

LoopbackConnection LoopbackServer::accept() {
    const SOCKET s = ::accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (s == INVALID_SOCKET) throw std::runtime_error("accept failed");
    auto impl = std::make_unique<LoopbackConnection::Impl>();
    impl->s = s;
    return LoopbackConnection(std::move(impl));
}

std::optional<LoopbackConnection> LoopbackServer::acceptWithin(int timeoutMs) {
    if (!selectReadable(static_cast<SOCKET>(listener_), timeoutMs)) return std::nullopt;
    return accept();
}

}  // namespace varnel::test
