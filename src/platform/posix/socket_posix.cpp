#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket.h"

namespace varnel::platform {

void Socket::close() {
    if (native_ != kNone) ::close(static_cast<int>(native_));
    native_ = kNone;
}

Socket connectLoopback(std::uint16_t port, int timeoutMs) {
    // Close-on-exec, so that no program we start holds the management connection open.
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.valid()) return Socket();
    const int fd = static_cast<int>(socket.native());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) return Socket();
        pollfd entry{fd, POLLOUT, 0};
        int ready;
        do ready = ::poll(&entry, 1, timeoutMs);
        while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        if (ready <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return Socket();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return socket;
}

void sendOnce(const Socket& socket, std::string_view bytes) {
    if (!socket.valid()) return;
    // A peer that has gone must not end the process with SIGPIPE.
    ::send(static_cast<int>(socket.native()), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

WaitResult waitReadable(const Socket& socket, int timeoutMs) {
    pollfd entry{static_cast<int>(socket.native()), POLLIN, 0};
    int ready;
    do ready = ::poll(&entry, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready < 0 || (entry.revents & POLLNVAL)) return WaitResult::Error;
    return ready == 0 ? WaitResult::Timeout : WaitResult::Readable;
}

long receiveSome(const Socket& socket, char* buffer, std::size_t size) {
    ssize_t n;
    do n = ::recv(static_cast<int>(socket.native()), buffer, size, 0);
    while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

}  // namespace varnel::platform
