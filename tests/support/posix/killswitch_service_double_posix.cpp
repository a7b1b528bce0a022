#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/killswitch_service_double.h"
#include "support/temp_dir.h"

namespace varnel::test {

// Busy: the thread stops accepting and the backlog is filled, so a client's connect would block.
struct KillSwitchServiceDouble::Impl {
    explicit Impl(Journal& shared) : journal(shared) {}
    Journal& journal;
    TempDir folder;
    const std::string path = (folder.path() / "killswitch.sock").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int client = -1;  // guarded by the journal's mutex
    std::vector<int> fillers;
    std::thread thread;

    sockaddr_un address() const {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + path);
        std::memcpy(address.sun_path, path.data(), path.size());
        return address;
    }

    void run() {
        while (!journal.stopping) {
            pollfd entry{listener, POLLIN, 0};
            if (journal.parkWhileBusy() || ::poll(&entry, 1, 10) != 1) continue;
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            {
                std::lock_guard lock(journal.mutex);
                if (fd >= 0 && journal.stopping) ::close(fd);
                if (fd < 0 || journal.stopping) continue;
                client = fd;
            }
            std::string line;
            for (char c; (line.empty() || line.back() != '\n') && ::recv(fd, &c, 1, 0) == 1;) line += c;
            bool hold = false;
            if (const auto answer = journal.take(line, hold)) ::send(fd, answer->data(), answer->size(), MSG_NOSIGNAL);
            for (char rest[256]; hold && ::recv(fd, rest, sizeof rest, 0) > 0;) {
            }
            std::lock_guard lock(journal.mutex);
            client = -1;
            ::close(fd);
        }
    }
};

KillSwitchServiceDouble::KillSwitchServiceDouble(std::string reply) : impl_(std::make_unique<Impl>(journal_)) {
    journal_.reply = std::move(reply);
    const sockaddr_un address = impl_->address();
    if (::bind(impl_->listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(impl_->listener, 1) != 0)
        throw std::runtime_error("cannot listen on " + impl_->path);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

KillSwitchServiceDouble::~KillSwitchServiceDouble() {
    {
        std::lock_guard lock(journal_.mutex);
        journal_.stopping = true;
        if (impl_->client >= 0) ::shutdown(impl_->client, SHUT_RDWR);  // ends a mute wait
    }
    impl_->thread.join();
    setBusy(false);
    ::close(impl_->listener);
}

const std::string& KillSwitchServiceDouble::channel() const { return impl_->path; }

void KillSwitchServiceDouble::setBusy(bool busy) {
    if (!busy) {
        // Closed fillers stay queued; the thread accepts them, reads nothing and moves on.
        for (const int fd : impl_->fillers) ::close(fd);
        impl_->fillers.clear();
        journal_.busy = false;
        return;
    }
    journal_.busy = true;
    journal_.waitParked();
    // Fills the backlog until one more connect would block.
    const sockaddr_un address = impl_->address();
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        impl_->fillers.push_back(fd);
        if (impl_->fillers.size() > 64) throw std::runtime_error("the listen backlog never filled");
    }
}

std::string absentKillSwitchChannel() {
    static std::atomic<unsigned> counter{0};
    return (std::filesystem::temp_directory_path() /
            ("varnel-absent-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".sock"))
        .string();
}

}  // namespace varnel::test
