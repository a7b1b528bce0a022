#include "support/network_lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/child_process.h"
#include "support/wait_until.h"

namespace varnel::test {

namespace {

constexpr const char* kIp = "/usr/sbin/ip";

struct Fd {
    int fd = -1;
    explicit Fd(int value) : fd(value) {}
    Fd(Fd&& other) noexcept : fd(other.fd) { other.fd = -1; }
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// An IPv4 or IPv6 socket address for a literal address.
socklen_t socketAddress(const std::string& address, std::uint16_t port, sockaddr_storage& storage) {
    storage = sockaddr_storage{};
    if (address.find(':') != std::string::npos) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        if (::inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) != 1) throw std::runtime_error("bad address " + address);
        return sizeof v6;
    }
    auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &v4.sin_addr) != 1) throw std::runtime_error("bad address " + address);
    return sizeof v4;
}

bool readableWithin(int fd, int ms) {
    pollfd wait{fd, POLLIN, 0};
    return ::poll(&wait, 1, ms) == 1;
}

// Generous, since an answer that comes late would read as a block; an unanswered datagram costs
// nothing while the block refuses it at once.
constexpr int kAnswerWaitMs = 1000;

}  // namespace

std::string networkLabUnavailableReason() {
    namespace fs = std::filesystem;
    if (::geteuid() != 0) return "not running as root";
    for (const char* tool : {kIp, "/usr/sbin/nft", "/usr/bin/setpriv"})
        if (!fs::exists(tool)) return std::string(tool) + " is missing (scripts/setup installs it)";
    if (!fs::exists("/dev/net/tun")) return "/dev/net/tun is missing";
    return {};
}

CommandOutput runCommand(const std::string& program, const std::vector<std::string>& args) {
    ChildProcess child = ChildProcess::start(program, args);
    child.closeInput();
    CommandOutput result;
    for (std::string line; child.readLine(line);) result.output += line + "\n";
    result.exitCode = child.wait();
    return result;
}

NetworkNamespace::NetworkNamespace(std::string name) : name_(std::move(name)) {
    if (runCommand(kIp, {"netns", "add", name_}).exitCode != 0)
        throw std::runtime_error("cannot make the network namespace " + name_);
    ip({"link", "set", "lo", "up"});
}

NetworkNamespace::~NetworkNamespace() {
    // Whatever still runs inside (a tunnel program a host left behind) would keep the namespace's
    // devices alive; it is ours, since the namespace is.
    waitUntil([&] {
        const std::vector<int> left = processes();
        for (const int pid : left) ::kill(pid, SIGKILL);
        return left.empty();
    }, std::chrono::seconds(10));
    runCommand(kIp, {"netns", "delete", name_});
}

std::vector<std::string> NetworkNamespace::execPrefix() const {
    return {kIp, "netns", "exec", name_};
}

CommandOutput NetworkNamespace::exec(const std::string& program, const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"netns", "exec", name_, program};
    all.insert(all.end(), args.begin(), args.end());
    return runCommand(kIp, all);
}

void NetworkNamespace::ip(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"-n", name_};
    all.insert(all.end(), args.begin(), args.end());
    if (runCommand(kIp, all).exitCode != 0) throw std::runtime_error("ip -n " + name_ + " failed");
}

void NetworkNamespace::runInside(const std::function<void()>& fn) const {
    std::exception_ptr error;
    std::thread inside([&] {
        try {
            Fd handle(::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC));
            if (handle.fd < 0 || ::setns(handle.fd, CLONE_NEWNET) != 0)
                throw std::runtime_error("cannot enter the network namespace " + name_);
            fn();
        } catch (...) {
            error = std::current_exception();
        }
    });
    inside.join();
    if (error) std::rethrow_exception(error);
}

std::vector<int> NetworkNamespace::processes() const {
    std::vector<int> pids;
    std::istringstream in(runCommand(kIp, {"netns", "pids", name_}).output);
    for (int pid; in >> pid;) pids.push_back(pid);
    return pids;
}

bool namespaceExists(const std::string& name) {
    return std::filesystem::exists("/run/netns/" + name);
}

struct EchoServer::Impl {
    std::atomic<bool> stop{false};
    int udp = -1;
    int tcp = -1;
    std::thread thread;

    ~Impl() {
        stop = true;
        if (thread.joinable()) thread.join();
        for (const int fd : {udp, tcp})
            if (fd >= 0) ::close(fd);
    }

    void serve() {
        while (!stop) {
            pollfd waits[2] = {{udp, POLLIN, 0}, {tcp, POLLIN, 0}};
            if (::poll(waits, 2, 50) <= 0) continue;
            char buffer[2048];
            sockaddr_storage peer{};
            socklen_t size = sizeof peer;
            if (waits[0].revents & POLLIN) {
                const ssize_t n = ::recvfrom(udp, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&peer), &size);
                if (n > 0) ::sendto(udp, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&peer), size);
            }
            if (waits[1].revents & POLLIN) {
                Fd client(::accept4(tcp, nullptr, nullptr, SOCK_CLOEXEC));
                const ssize_t n = client.fd >= 0 && readableWithin(client.fd, 1000) ? ::recv(client.fd, buffer, sizeof buffer, 0) : -1;
                if (n > 0) ::send(client.fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
            }
        }
    }
};

EchoServer::EchoServer(const NetworkNamespace& where, std::uint16_t port) : impl_(std::make_unique<Impl>()) {
    where.runInside([&] {
        sockaddr_in6 any{};
        any.sin6_family = AF_INET6;
        any.sin6_port = htons(port);
        const int off = 0, on = 1;
        impl_->udp = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        impl_->tcp = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        for (const int fd : {impl_->udp, impl_->tcp}) {
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) throw std::runtime_error("echo bind failed");
        }
        if (::listen(impl_->tcp, 8) != 0) throw std::runtime_error("echo listen failed");
    });
    impl_->thread = std::thread([impl = impl_.get()] { impl->serve(); });
}

EchoServer::~EchoServer() = default;

ProbeCount probeUdp(const NetworkNamespace& from, const std::string& address, std::uint16_t port, int tries) {
    ProbeCount count;
    from.runInside([&] {
        sockaddr_storage to;
        const socklen_t size = socketAddress(address, port, to);
        Fd socket(::socket(to.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        for (int i = 0; i < tries; ++i) {
            ++count.tried;
            const std::string payload = "probe " + std::to_string(i);
            if (::sendto(socket.fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), size) < 0) continue;
            ++count.sent;
            char buffer[64];
            if (readableWithin(socket.fd, kAnswerWaitMs) && ::recv(socket.fd, buffer, sizeof buffer, 0) > 0) ++count.answered;
        }
    });
    return count;
}

ProbeCount floodUdp(const NetworkNamespace& from, const std::string& address, std::uint16_t port,
                    const std::atomic<bool>& stop) {
    ProbeCount count;
    from.runInside([&] {
        sockaddr_storage to;
        const socklen_t size = socketAddress(address, port, to);
        Fd socket(::socket(to.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        char buffer[64];
        while (!stop) {
            ++count.tried;
            if (::sendto(socket.fd, "flood", 5, 0, reinterpret_cast<sockaddr*>(&to), size) == 5) ++count.sent;
            while (::recv(socket.fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) ++count.answered;
        }
        if (readableWithin(socket.fd, kAnswerWaitMs))
            while (::recv(socket.fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) ++count.answered;
    });
    return count;
}

ProbeCount probeTcp(const NetworkNamespace& from, const std::string& address, std::uint16_t port, int tries) {
    ProbeCount count;
    from.runInside([&] {
        sockaddr_storage to;
        const socklen_t size = socketAddress(address, port, to);
        for (int i = 0; i < tries; ++i) {
            ++count.tried;
            Fd socket(::socket(to.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
            // A firewall drop on output refuses the connect at once; anything else has left the host.
            if (::connect(socket.fd, reinterpret_cast<sockaddr*>(&to), size) != 0 && errno != EINPROGRESS) continue;
            ++count.sent;
            pollfd wait{socket.fd, POLLOUT, 0};
            int error = -1;
            socklen_t length = sizeof error;
            if (::poll(&wait, 1, kAnswerWaitMs) != 1 || ::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
                continue;
            char buffer[16];
            if (::send(socket.fd, "probe\n", 6, MSG_NOSIGNAL) == 6 && readableWithin(socket.fd, kAnswerWaitMs) &&
                ::recv(socket.fd, buffer, sizeof buffer, 0) > 0)
                ++count.answered;
        }
    });
    return count;
}

}  // namespace varnel::test
