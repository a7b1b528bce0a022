#include "platform/service/control_socket.h"

#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace varnel::platform {

namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool socketAddress(const std::string& path, sockaddr_un& address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

std::string failure(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// A socket file left by a service that ended without removing it is taken over; one that still
// answers belongs to a running service, and anything that is not a socket is not ours to remove.
bool clearStaleSocket(const std::string& path, const sockaddr_un& address, std::string& error) {
    struct stat found{};
    if (::lstat(path.c_str(), &found) != 0) {
        if (errno == ENOENT) return true;
        error = failure("cannot look at", path);
        return false;
    }
    if (!S_ISSOCK(found.st_mode)) {
        error = path + " exists and is not a socket";
        return false;
    }
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answered = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (probe >= 0) ::close(probe);
    if (answered) {
        error = "a service already listens on " + path;
        return false;
    }
    if (::unlink(path.c_str()) != 0) {
        error = failure("cannot remove the stale socket", path);
        return false;
    }
    return true;
}

int stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

ControlConnection::ControlConnection(int fd) : fd_(fd) {}
ControlConnection::ControlConnection(ControlConnection&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}
ControlConnection& ControlConnection::operator=(ControlConnection&& other) noexcept {
    if (this != &other) {
        closeFd(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}
ControlConnection::~ControlConnection() {
    closeFd(fd_);
}

std::optional<PeerCredentials> ControlConnection::peer() const {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
    PeerCredentials peer{credentials.uid, credentials.gid, {}, credentials.pid};
    std::vector<gid_t> groups(64);
    for (;;) {
        socklen_t bytes = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (::getsockopt(fd_, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &bytes) == 0) {
            groups.resize(bytes / sizeof(gid_t));
            break;
        }
        // ERANGE tells how much room the list needs; any other error leaves only the primary group.
        if (errno != ERANGE || bytes / sizeof(gid_t) <= groups.size()) {
            groups.clear();
            break;
        }
        groups.resize(bytes / sizeof(gid_t));
    }
    peer.groups.assign(groups.begin(), groups.end());
    return peer;
}

ReceivedLine ControlConnection::receiveLine(std::size_t maxBytes, int timeoutMs) {
    ReceivedLine received;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const std::size_t end = received.bytes.find('\n'); end != std::string::npos) {
            received.bytes.resize(end);
            received.end = end > maxBytes ? LineEnd::TooLong : LineEnd::Line;
            return received;
        }
        if (received.bytes.size() > maxBytes) {
            received.end = LineEnd::TooLong;
            return received;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd wait{fd_, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&wait, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            received.end = LineEnd::TimedOut;
            return received;
        }
        char chunk[1024];
        const ssize_t count = ready > 0 ? ::recv(fd_, chunk, sizeof chunk, 0) : -1;
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) {
            received.end = LineEnd::Closed;
            return received;
        }
        received.bytes.append(chunk, static_cast<std::size_t>(count));
    }
}

void ControlConnection::send(std::string_view bytes) {
    (void)::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::optional<ControlSocket> ControlSocket::listenAt(const std::string& path, std::uint32_t groupId,
                                                     std::string& error) {
    sockaddr_un address;
    if (!socketAddress(path, address)) {
        error = "the socket path is empty or too long: " + path;
        return std::nullopt;
    }
    if (!clearStaleSocket(path, address, error)) return std::nullopt;
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        error = failure("cannot make a socket for", path);
        return std::nullopt;
    }
    // Created closed to everyone but root, and opened to the group only once it belongs to it.
    const mode_t previous = ::umask(0177);
    const bool bound = ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(previous);
    if (!bound || ::chown(path.c_str(), 0, groupId) != 0 || ::chmod(path.c_str(), 0660) != 0 ||
        ::listen(listener, 16) != 0) {
        error = failure("cannot listen on", path);
        if (bound) ::unlink(path.c_str());
        ::close(listener);
        return std::nullopt;
    }
    struct stat file{};
    const int signals = ::lstat(path.c_str(), &file) == 0 ? stopSignals() : -1;
    if (signals < 0) {
        error = failure("cannot watch stop signals for", path);
        ::unlink(path.c_str());
        ::close(listener);
        return std::nullopt;
    }
    return ControlSocket(path, listener, signals, file.st_dev, file.st_ino);
}

ControlSocket::ControlSocket(std::string path, int listener, int signals, std::uint64_t device, std::uint64_t inode)
    : path_(std::move(path)), listener_(listener), signals_(signals), device_(device), inode_(inode) {}

ControlSocket::ControlSocket(ControlSocket&& other) noexcept
    : path_(std::move(other.path_)), listener_(other.listener_), signals_(other.signals_), device_(other.device_),
      inode_(other.inode_) {
    other.listener_ = -1;
    other.signals_ = -1;
}

ControlSocket::~ControlSocket() {
    if (listener_ < 0) return;
    // Only the file this socket is bound to: a later service may already have replaced it.
    struct stat file{};
    if (::lstat(path_.c_str(), &file) == 0 && file.st_dev == device_ && file.st_ino == inode_) ::unlink(path_.c_str());
    closeFd(listener_);
    closeFd(signals_);
}

std::optional<ControlConnection> ControlSocket::next() {
    for (;;) {
        pollfd waits[2] = {{signals_, POLLIN, 0}, {listener_, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (waits[0].revents != 0) return std::nullopt;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client >= 0) return ControlConnection(client);
        // A client that gave up before it was taken (or a passing shortage) ends only that client.
    }
}

bool findGroupId(const std::string& name, std::uint32_t& groupId) {
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    while (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (found == nullptr) return false;
    groupId = found->gr_gid;
    return true;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

}  // namespace varnel::platform
