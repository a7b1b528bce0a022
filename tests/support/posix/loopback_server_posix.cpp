#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/loopback_server.h"

namespace varnel::test {

struct LoopbackConnection::Impl {
    int fd;
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
};

LoopbackConnection::LoopbackConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LoopbackConnection::LoopbackConnection(LoopbackConnection&&) noexcept = default;
LoopbackConnection::~LoopbackConnection() = default;

long LoopbackConnection::receive(char* buffer, std::size_t size) {
    return impl_->fd < 0 ? 0 : static_cast<long>(::recv(impl_->fd, buffer, size, 0));
}

namespace {

// True when the descriptor has something to read (or to report, such as its peer closing).
bool pollReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    int ready;
    do ready = ::poll(&entry, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready != 0;
}

}  // namespace

bool LoopbackConnection::waitReadable(int timeoutMs) { return impl_->fd < 0 || pollReadable(impl_->fd, timeoutMs); }

void LoopbackConnection::send(std::string_view bytes) {
    if (impl_->fd >= 0) ::send(impl_->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void LoopbackConnection::close() {
    if (impl_->fd >= 0) ::close(impl_->fd);
    impl_->fd = -1;
}

LoopbackServer::LoopbackServer() : LoopbackServer(0) {}

LoopbackServer::LoopbackServer(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A fixed port must be reusable at once after an earlier listener's connections linger in
    // TIME_WAIT, as OpenVPN's own management socket is.
    const int reuse = 1;
    if (fd >= 0 && port != 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    listener_ = fd;
    port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() { stop(); }

ReservedPort::ReservedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("could not reserve a loopback port");
    socket_ = fd;
    port_ = ntohs(address.sin_port);
}

ReservedPort::~ReservedPort() { ::close(static_cast<int>(socket_)); }

void LoopbackServer::stop() {
    if (listener_ >= 0) ::close(static_cast<int>(listener_));
    listener_ = -1;
}

LoopbackConnection LoopbackServer::accept() {
    const int fd = ::accept4(static_cast<int>(listener_), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) throw std::runtime_error("accept failed");
    auto impl = std::make_unique<LoopbackConnection::Impl>();
    impl->fd = fd;
    return LoopbackConnection(std::move(impl));
}

std::optional<LoopbackConnection> LoopbackServer::acceptWithin(int timeoutMs) {
    if (!pollReadable(static_cast<int>(listener_), timeoutMs)) return std::nullopt;
    return accept();
}

}  // namespace varnel::test
