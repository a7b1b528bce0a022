// The claim is an exclusive lock on a file in a folder only the user can enter; the first instance
// also listens on a Unix socket beside it, and a later start connects and asks it to show its window.
// Neither needs a session bus, and the kernel releases the lock when the first instance ends, however
// it ends.

#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

namespace varnel::platform {

namespace {

constexpr char kShowRequest[] = "show\n";
// A later start may come while the first one is between taking the lock and listening.
constexpr int kConnectAttempts = 10;
constexpr auto kConnectPause = std::chrono::milliseconds(50);

bool privateFolderOfOurs(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// The session's runtime folder, else a folder of ours under /tmp; none when what is there could have
// been planted by someone else.
std::optional<std::string> instanceFolder(const SingleInstanceSetup& setup) {
    if (!setup.folder.empty()) return setup.folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/' && privateFolderOfOurs(runtime))
        return std::string(runtime);
    const std::string fallback = "/tmp/varnel-" + std::to_string(::getuid());
    ::mkdir(fallback.c_str(), 0700);
    if (privateFolderOfOurs(fallback)) return fallback;
    return std::nullopt;
}

std::optional<sockaddr_un> socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// A later start: tells the first instance to show its window, trying for a short while when it does
// not listen yet.
void askFirstInstance(const std::string& socketPath) {
    const std::optional<sockaddr_un> address = socketAddress(socketPath);
    if (!address) return;
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kConnectPause);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
            writeAll(fd, kShowRequest);
            ::close(fd);
            return;
        }
        ::close(fd);
    }
}

// Owned by the first instance's start-up; the listener thread only reads listenFd_.
class LockFileClaim final : public InstanceClaim {
public:
    LockFileClaim(int lockFd, int listenFd, std::string socketPath)
        : lockFd_(lockFd), listenFd_(listenFd), socketPath_(std::move(socketPath)) {}

    ~LockFileClaim() override {
        if (listenFd_ >= 0) {
            // Wakes the listener's accept, which then fails and ends the thread.
            ::shutdown(listenFd_, SHUT_RDWR);
            if (listener_.joinable()) listener_.join();
            ::close(listenFd_);
            ::unlink(socketPath_.c_str());
        }
        // The lock file stays: removing it would let two starts lock two different files.
        ::close(lockFd_);
    }

    void deliverShowRequests(std::function<void()> showRequested) override {
        if (listenFd_ < 0 || listener_.joinable()) return;
        listener_ = std::thread([fd = listenFd_, showRequested = std::move(showRequested)] { listen(fd, showRequested); });
    }

private:
    static void listen(int listenFd, const std::function<void()>& showRequested) {
        for (;;) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                return;
            }
            if (readRequest(fd) == kShowRequest) showRequested();
            ::close(fd);
        }
    }

    // At most one short line, and never waiting long on a peer that sends nothing.
    static std::string readRequest(int fd) {
        timeval timeout{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::string request;
        char buffer[16];
        while (request.size() < sizeof kShowRequest && request.find('\n') == std::string::npos) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        return request;
    }

    int lockFd_;
    int listenFd_;
    std::string socketPath_;
    std::thread listener_;
};

// -1 when the socket cannot be set up; the instance then holds the lock without being reachable.
int listenOn(const std::string& path) {
    const std::optional<sockaddr_un> address = socketAddress(path);
    if (!address) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // Whatever is there was left by an instance that has ended: we hold the lock now.
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 || ::chmod(path.c_str(), 0600) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

InstanceStart claimSingleInstance(const SingleInstanceSetup& setup) {
    const std::optional<std::string> folder = instanceFolder(setup);
    if (!folder) return {};
    const std::string base = *folder + "/" + setup.name;
    const int lockFd = ::open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) return {};
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(lockFd);
        if (error != EWOULDBLOCK) return {};
        askFirstInstance(base + ".sock");
        return {InstanceRole::Second, nullptr};
    }
    const int listenFd = listenOn(base + ".sock");
    return {InstanceRole::First, std::make_unique<LockFileClaim>(lockFd, listenFd, base + ".sock")};
}

}  // namespace varnel::platform
