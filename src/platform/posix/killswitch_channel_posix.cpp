#include "platform/killswitch_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace varnel::platform {

std::string defaultKillSwitchChannel() {
    if (const char* path = std::getenv("VARNEL_KILLSWITCH_SOCKET"); path != nullptr && path[0] != '\0') return path;
    return "/run/VarnelKillSwitch.sock";
}

namespace {

enum class Open { Connected, Busy, Failed };

// A non-blocking connect, so that a full listen backlog reports EAGAIN instead of blocking: a busy
// service. A refused connect is a socket file that nobody listens on (a service that has crashed),
// and like a missing socket file it is an absent service.
Open connectOnce(const sockaddr_un& address, int& fd) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return Open::Failed;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return Open::Connected;
    const int error = errno;
    ::close(fd);
    fd = -1;
    return (error == EAGAIN || error == EWOULDBLOCK) ? Open::Busy : Open::Failed;
}

// Whether fd is ready for events before the deadline.
bool readyBefore(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, events, 0};
        const int n = ::poll(&entry, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0)));
        if (n < 0 && errno == EINTR) continue;
        return n > 0;
    }
}

}  // namespace

KillSwitchReply exchangeKillSwitchBytes(const std::string& channel, std::string_view bytes,
                                        const std::function<void(int opens)>& onBusy) {
    KillSwitchReply reply;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (channel.empty() || channel.size() >= sizeof address.sun_path) return reply;
    std::memcpy(address.sun_path, channel.data(), channel.size());

    int fd = -1;
    for (;;) {
        ++reply.opens;
        const Open result = connectOnce(address, fd);
        if (result == Open::Connected) break;
        if (result == Open::Failed) return reply;
        if (onBusy) onBusy(reply.opens);
        if (reply.opens == kKillSwitchOpenAttempts) return reply;
        // A socket offers nothing to wait on until the service can take a connection.
        std::this_thread::sleep_for(std::chrono::milliseconds(kKillSwitchBusyWaitMs));
    }

    // The socket stays non-blocking: the write and the read each wait only until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kKillSwitchReplyTimeoutMs);
    // A service that has gone must not end the process with SIGPIPE; the result is not checked.
    if (readyBefore(fd, POLLOUT, deadline)) (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char buffer[kKillSwitchReplyMax];
    ssize_t n = -1;
    while (readyBefore(fd, POLLIN, deadline)) {
        n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n >= 0 || (errno != EINTR && errno != EAGAIN)) break;
    }
    if (n > 0) reply.bytes.assign(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return reply;
}

}  // namespace varnel::platform
