#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "support/killswitch_service_double.h"
#include "support/temp_dir.h"

namespace varnel::test {

// The server thread accepts on a Unix socket. Busy: the thread stops accepting and the test side
// fills the listen backlog with connections of its own, so that a client's non-blocking connect
// would block, exactly as with a service that cannot keep up.
struct KillSwitchServiceDouble::Impl {
    TempDir folder;
    std::string path;
    int listener = -1;
    int wake[2] = {-1, -1};

    mutable std::mutex mutex;  // guards everything below
    std::condition_variable changed;
    std::vector<std::string> received;
    std::string reply;
    bool silent = false;
    bool mute = false;
    bool busyWanted = false;
    bool parked = false;
    bool stopping = false;
    int client = -1;
    std::vector<int> fillers;

    std::thread thread;

    void run();
    void serve(int fd);
    void nudge() { (void)::write(wake[1], "x", 1); }
};

namespace {

sockaddr_un socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

}  // namespace

void KillSwitchServiceDouble::Impl::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (stopping) return;
            if (busyWanted) {
                parked = true;
                changed.notify_all();
                changed.wait(lock, [this] { return !busyWanted || stopping; });
                parked = false;
                continue;
            }
        }
        pollfd entries[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) continue;
        if (entries[1].revents & POLLIN) {
            char drained[16];
            (void)::read(wake[0], drained, sizeof drained);
            continue;
        }
        if (entries[0].revents & POLLIN) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) serve(fd);
        }
    }
}

void KillSwitchServiceDouble::Impl::serve(int fd) {
    {
        std::lock_guard lock(mutex);
        client = fd;
    }
    std::string line;
    char c;
    while (line.empty() || line.back() != '\n') {
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        line += c;
    }
    std::string answer;
    bool answerIt = false;
    bool holdIt = false;
    {
        std::lock_guard lock(mutex);
        if (!line.empty()) received.push_back(line);
        answer = reply;
        holdIt = mute;
        answerIt = !silent && !mute && !line.empty() && line.back() == '\n';
    }
    if (answerIt) (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    if (answerIt || holdIt) {
        // The client closes once it has read (or given up): wait for that, so that no answer is cut short.
        char rest[256];
        while (::recv(fd, rest, sizeof rest, 0) > 0) {
        }
    }
    {
        std::lock_guard lock(mutex);
        client = -1;
    }
    ::close(fd);
}

KillSwitchServiceDouble::KillSwitchServiceDouble(std::string reply, std::string channel) : impl_(std::make_unique<Impl>()) {
    impl_->reply = std::move(reply);
    impl_->path = channel.empty() ? (impl_->folder.path() / "killswitch.sock").string() : std::move(channel);
    ::unlink(impl_->path.c_str());  // a socket file left by an earlier run
    const sockaddr_un address = socketAddress(impl_->path);
    impl_->listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl_->listener < 0 || ::bind(impl_->listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(impl_->listener, 1) != 0 || ::pipe2(impl_->wake, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot listen on " + impl_->path);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

KillSwitchServiceDouble::~KillSwitchServiceDouble() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
        if (impl_->client >= 0) ::shutdown(impl_->client, SHUT_RDWR);
        for (const int fd : impl_->fillers) ::close(fd);
        impl_->fillers.clear();
    }
    impl_->changed.notify_all();
    impl_->nudge();
    impl_->thread.join();
    ::close(impl_->listener);
    ::unlink(impl_->path.c_str());
    ::close(impl_->wake[0]);
    ::close(impl_->wake[1]);
}

const std::string& KillSwitchServiceDouble::channel() const { return impl_->path; }

std::vector<std::string> KillSwitchServiceDouble::received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void KillSwitchServiceDouble::setReply(std::string reply) {
    std::lock_guard lock(impl_->mutex);
    impl_->reply = std::move(reply);
}

void KillSwitchServiceDouble::setSilent(bool silent) {
    std::lock_guard lock(impl_->mutex);
    impl_->silent = silent;
}

void KillSwitchServiceDouble::setMute(bool mute) {
    std::lock_guard lock(impl_->mutex);
    impl_->mute = mute;
}

void KillSwitchServiceDouble::setBusy(bool busy) {
    if (busy) {
        {
            std::unique_lock lock(impl_->mutex);
            impl_->busyWanted = true;
        }
        impl_->nudge();
        std::unique_lock lock(impl_->mutex);
        impl_->changed.wait(lock, [this] { return impl_->parked; });
        // Fill the backlog until one more connect would block.
        const sockaddr_un address = socketAddress(impl_->path);
        for (int i = 0; i < 64; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                ::close(fd);
                return;
            }
            impl_->fillers.push_back(fd);
        }
        throw std::runtime_error("the listen backlog never filled");
    }
    {
        std::lock_guard lock(impl_->mutex);
        // Closed fillers stay queued; the thread accepts them, reads nothing and moves on.
        for (const int fd : impl_->fillers) ::close(fd);
        impl_->fillers.clear();
        impl_->busyWanted = false;
    }
    impl_->changed.notify_all();
}

std::string absentKillSwitchChannel() {
    static std::atomic<unsigned> counter{0};
    return (std::filesystem::temp_directory_path() /
            ("varnel-absent-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".sock"))
        .string();
}

}  // namespace varnel::test
