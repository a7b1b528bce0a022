#include "platform/killswitch_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/posix/unique_fd.h"

namespace varnel::platform {

std::string defaultKillSwitchChannel() {
    if (const char* path = std::getenv("VARNEL_KILLSWITCH_SOCKET"); path != nullptr && path[0] != '\0') return path;
    return "/run/VarnelKillSwitch.sock";
}

namespace {

enum class Open { Connected, Busy, Failed };

// A non-blocking connect, so that a full listen backlog reports EAGAIN instead of blocking; it is a
// busy service, as a refused connect (a socket file with no listener) is.
Open connectOnce(const sockaddr_un& address, UniqueFd& connection) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) return Open::Failed;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
        connection = std::move(fd);
        return Open::Connected;
    }
    const int error = errno;
    return (error == EAGAIN || error == EWOULDBLOCK || error == ECONNREFUSED) ? Open::Busy : Open::Failed;
}

}  // namespace

KillSwitchReply exchangeKillSwitchBytes(const std::string& channel, std::string_view bytes,
                                        const std::function<void(int opens)>& onBusy) {
    KillSwitchReply reply;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (channel.empty() || channel.size() >= sizeof address.sun_path) return reply;
    std::memcpy(address.sun_path, channel.data(), channel.size());

    UniqueFd fd;
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

    // A service that has gone must not end the process with SIGPIPE; the result is not checked.
    (void)::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char buffer[kKillSwitchReplyMax];
    ssize_t n;
    do n = ::recv(fd.get(), buffer, sizeof buffer, 0);
    while (n < 0 && errno == EINTR);
    if (n > 0) reply.bytes.assign(buffer, static_cast<std::size_t>(n));
    return reply;
}

}  // namespace varnel::platform
