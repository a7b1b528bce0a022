#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

void LoopbackConnection::send(std::string_view bytes) {
    if (impl_->fd >= 0) ::send(impl_->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void LoopbackConnection::close() {
    if (impl_->fd >= 0) ::close(impl_->fd);
    impl_->fd = -1;
}

LoopbackServer::LoopbackServer() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    listener_ = fd;
    port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() { stop(); }

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

}  // namespace varnel::test
