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

struct KillSwitchServiceDouble::Impl {
    explicit Impl(KillSwitchServiceDouble& owner) : service(owner) {}
    KillSwitchServiceDouble& service;
    TempDir folder;
    const std::string path = (folder.path() / "killswitch.sock").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::thread thread;

    // Ends when the destructor shuts the listener down; every exchange is over by then, a mute one given up.
    void run() {
        for (int fd; (fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ::close(fd)) {
            std::string line;
            for (char c; (line.empty() || line.back() != '\n') && ::recv(fd, &c, 1, 0) == 1;) line += c;
            bool hold = false;
            if (const auto answer = service.take(line, hold)) ::send(fd, answer->data(), answer->size(), MSG_NOSIGNAL);
            for (char rest[256]; hold && ::recv(fd, rest, sizeof rest, 0) > 0;) {
            }
        }
    }
};

KillSwitchServiceDouble::KillSwitchServiceDouble(std::string reply) : reply_(std::move(reply)), impl_(std::make_unique<Impl>(*this)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (impl_->path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + impl_->path);
    std::memcpy(address.sun_path, impl_->path.data(), impl_->path.size());
    if (::bind(impl_->listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(impl_->listener, 1) != 0)
        throw std::runtime_error("cannot listen on " + impl_->path);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

KillSwitchServiceDouble::~KillSwitchServiceDouble() {
    ::shutdown(impl_->listener, SHUT_RDWR);
    impl_->thread.join();
    ::close(impl_->listener);
}

const std::string& KillSwitchServiceDouble::channel() const { return impl_->path; }

// Under a folder that does not exist, so that nothing can be made there.
std::string absentKillSwitchChannel() {
    return (std::filesystem::temp_directory_path() / ("varnel-absent-" + std::to_string(::getpid())) / "killswitch.sock").string();
}

}  // namespace varnel::test
