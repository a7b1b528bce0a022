#include <gtest/gtest.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/killswitch_channel.h"
#include "support/child_process.h"
#include "support/openvpn_pair.h"
#include "support/test_programs.h"

// The kill-switch service with real traffic between two namespaces: the client's host connects to a real
// OpenVPN server; every packet reaching the server's echo address outside the tunnel is counted.

namespace varnel {
namespace {

using test::ChildProcess;

constexpr const char* kVpnAddress = "10.77.0.1";
constexpr const char* kClientAddress = "10.77.0.2";
constexpr const char* kEchoAddress = "10.77.0.3";  // outside the tunnel: the block must hold it off
constexpr const char* kClientAddress6 = "fd00:77::2";
constexpr const char* kEchoAddress6 = "fd00:77::3";
constexpr std::uint16_t kVpnPort = 1194;  // ports inside namespaces of our own cannot collide
constexpr std::uint16_t kEchoPort = 7007;
constexpr const char* kIp = "/usr/sbin/ip";
constexpr const char* kNft = "/usr/sbin/nft";
constexpr const char* kSetpriv = "/usr/bin/setpriv";
// Generous: a late answer would read as a block.
constexpr int kAnswerWaitMs = 1000;

// Runs a program to its end; its standard output. Throws when it fails and check is set.
std::string run(const std::vector<std::string>& command, bool check = true) {
    ChildProcess child = ChildProcess::start(command[0], {command.begin() + 1, command.end()});
    child.closeInput();
    std::string output;
    for (std::string line; child.readLine(line);) output += line + "\n";
    if (child.wait() != 0 && check) throw std::runtime_error(command[0] + " " + command[1] + " failed: " + output);
    return output;
}

bool readableWithin(int fd, int ms) {
    pollfd wait{fd, POLLIN, 0};
    return ::poll(&wait, 1, ms) == 1;
}

// A network namespace of the test's own, removed with every process inside it when the object goes.
class Namespace {
public:
    explicit Namespace(std::string name) : name_(std::move(name)) {
        run({kIp, "netns", "add", name_});
        ip({"link", "set", "lo", "up"});
    }
    ~Namespace() {
        // What still runs inside would keep its devices alive.
        test::waitUntil([&] {
            const std::vector<int> left = processes();
            for (const int pid : left) ::kill(pid, SIGKILL);
            return left.empty();
        }, std::chrono::seconds(10));
        run({kIp, "netns", "delete", name_}, false);
    }
    const std::string& name() const { return name_; }
    // The command, started inside.
    std::vector<std::string> in(std::vector<std::string> command) const {
        command.insert(command.begin(), {kIp, "netns", "exec", name_});
        return command;
    }
    void ip(std::vector<std::string> args) const {
        args.insert(args.begin(), {kIp, "-n", name_});
        run(args);
    }
    // Runs fn on a thread that has entered the namespace: sockets it makes live here.
    template <class Fn>
    void inside(Fn fn) const {
        std::thread([&] {
            const int handle = ::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
            if (::setns(handle, CLONE_NEWNET) == 0) fn();
            else ADD_FAILURE() << "cannot enter the network namespace " << name_;
            ::close(handle);
        }).join();
    }
    std::vector<int> processes() const {
        std::istringstream in(run({kIp, "netns", "pids", name_}));
        std::vector<int> pids;
        for (int pid; in >> pid;) pids.push_back(pid);
        return pids;
    }

private:
    std::string name_;
};

// A UDP and TCP echo on every address of a namespace (IPv4 and IPv6), on kEchoPort.
class Echo {
public:
    explicit Echo(const Namespace& where) {
        where.inside([&] {
            udp_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            tcp_ = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in6 any{};
            any.sin6_family = AF_INET6;
            any.sin6_port = htons(kEchoPort);
            const int off = 0;
            for (const int fd : {udp_, tcp_}) {
                ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
                EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
            }
            EXPECT_EQ(::listen(tcp_, 8), 0);
        });
        thread_ = std::thread([this] {
            for (char buffer[2048]; !stop_;) {
                pollfd waits[2] = {{udp_, POLLIN, 0}, {tcp_, POLLIN, 0}};
                if (::poll(waits, 2, 50) <= 0) continue;
                sockaddr_storage peer{};
                socklen_t size = sizeof peer;
                ssize_t n = ::recvfrom(udp_, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&peer), &size);
                if (n > 0) ::sendto(udp_, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&peer), size);
                const int client = ::accept4(tcp_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (client < 0) continue;
                n = readableWithin(client, kAnswerWaitMs) ? ::recv(client, buffer, sizeof buffer, 0) : -1;
                if (n > 0) ::send(client, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
                ::close(client);
            }
        });
    }
    ~Echo() {
        stop_ = true;
        thread_.join();
        ::close(udp_);
        ::close(tcp_);
    }

private:
    std::atomic<bool> stop_{false};
    int udp_ = -1, tcp_ = -1;
    std::thread thread_;
};

struct ProbeCount {
    int tried = 0, answered = 0;
};
std::ostream& operator<<(std::ostream& out, const ProbeCount& c) { return out << c.answered << " of " << c.tried << " answered"; }

// Each try a datagram or a connection sending a line, awaiting the echo; a flood sends datagrams
// until *stop without waiting (late answers still count).
enum class Probe { Udp, Tcp, Flood };
ProbeCount probeFrom(const Namespace& from, const std::string& address, Probe kind, int tries,
                     const std::atomic<bool>* stop = nullptr) {
    ProbeCount count;
    from.inside([&] {
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
        hints.ai_socktype = kind == Probe::Tcp ? SOCK_STREAM : SOCK_DGRAM;
        addrinfo* to = nullptr;
        ASSERT_EQ(::getaddrinfo(address.c_str(), std::to_string(kEchoPort).c_str(), &hints, &to), 0) << address;
        char buffer[64];
        const auto answered = [&](int fd, int ms) { return readableWithin(fd, ms) && ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0; };
        const auto tryConnection = [&](int fd) {
            if (::connect(fd, to->ai_addr, to->ai_addrlen) != 0 && errno != EINPROGRESS) return;
            pollfd wait{fd, POLLOUT, 0};
            int error = -1;
            socklen_t length = sizeof error;
            count.answered += ::poll(&wait, 1, kAnswerWaitMs) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                              error == 0 && ::send(fd, "probe\n", 6, MSG_NOSIGNAL) == 6 && answered(fd, kAnswerWaitMs);
        };
        const int datagrams = ::socket(to->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        while (stop ? !*stop : count.tried < tries) {
            ++count.tried;
            if (kind == Probe::Tcp) {
                const int fd = ::socket(to->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                tryConnection(fd);
                ::close(fd);
            } else if (::sendto(datagrams, "probe\n", 6, 0, to->ai_addr, to->ai_addrlen) == 6) {
                if (kind == Probe::Udp) count.answered += answered(datagrams, kAnswerWaitMs);
                while (kind == Probe::Flood && answered(datagrams, 0)) ++count.answered;
            }
        }
        while (kind == Probe::Flood && answered(datagrams, kAnswerWaitMs)) ++count.answered;  // late ones count
        ::close(datagrams);
        ::freeaddrinfo(to);
    });
    return count;
}

class KillSwitchNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = test::OpenVpnServer::unavailableReason(); !reason.empty()) GTEST_SKIP() << reason;
        for (const char* tool : {kIp, kNft, kSetpriv})
            if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is missing (scripts/setup installs it)";
        const std::string stem = "varnel-ks-" + std::to_string(::getpid());
        server.emplace(stem + "-server");
        client.emplace(stem + "-client");
        client->ip({"link", "add", "eth0", "type", "veth", "peer", "name", "eth0", "netns", server->name()});
        for (const auto& [ns, address, address6] :
             {std::tuple{&*server, kEchoAddress, kEchoAddress6}, std::tuple{&*client, kClientAddress, kClientAddress6}}) {
            ns->ip({"addr", "add", std::string(address) + "/24", "dev", "eth0"});
            ns->ip({"addr", "add", std::string(address6) + "/64", "dev", "eth0", "nodad"});
            ns->ip({"link", "set", "eth0", "up"});
        }
        server->ip({"addr", "add", std::string(kVpnAddress) + "/24", "dev", "eth0"});
        // Counts every packet that reaches the echo address from outside: the leak detector.
        run(server->in({kNft, "add table inet leakwatch\nadd counter inet leakwatch outside\n"
                              "add chain inet leakwatch watch { type filter hook prerouting priority -300; }\n"
                              "add rule inet leakwatch watch iifname \"eth0\" ip daddr " + std::string(kEchoAddress) +
                                  " counter name \"outside\"\n"
                              "add rule inet leakwatch watch iifname \"eth0\" ip6 daddr " + std::string(kEchoAddress6) +
                                  " counter name \"outside\"\n"}));
        vpn.emplace(test::OpenVpnServerOptions{server->in({}), kVpnAddress, "udp", kVpnPort, true});
        echo.emplace(*server);
        // The socket's folder must let other users reach the socket, so that its own mode decides.
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    }

    std::uint64_t leakedPackets() {
        const std::string listing = run(server->in({kNft, "list", "counter", "inet", "leakwatch", "outside"}));
        const std::size_t at = listing.find("packets ");
        return at == std::string::npos ? ~0ull : std::stoull(listing.substr(at + 8));
    }
    std::string ourTable() { return run(client->in({kNft, "list", "table", "inet", "varnel"}), false); }
    std::string serviceStatus() { return run(client->in({VARNEL_KILLSWITCH_SERVICE_EXE, "--status", "--socket", socket}), false); }
    void startService() { service.emplace(client->in({VARNEL_KILLSWITCH_SERVICE_EXE, "--socket", socket, "--group", "root"})); }
    std::string send(const std::string& bytes) { return platform::exchangeKillSwitchBytes(socket, bytes).bytes; }
    // Sends a line as the user nobody, with the given extra groups.
    std::string sendAsNobody(const std::string& line, const std::string& groups) {
        std::vector<std::string> command = {kSetpriv, "--reuid", "65534", "--regid", "65534"};
        if (groups.empty()) command.push_back("--clear-groups");
        else command.insert(command.end(), {"--groups", groups});
        command.insert(command.end(), {test::testProgramPath("killswitch_send"), socket, line});
        return run(command);
    }
    ProbeCount probe(const std::string& address, Probe kind, int tries) { return probeFrom(*client, address, kind, tries); }

    // Nothing outside the tunnel answers and not one packet reaches the echo address.
    void expectNoLeak(const std::string& when) {
        SCOPED_TRACE(when);
        const std::uint64_t before = leakedPackets();
        for (const char* address : {kEchoAddress, kEchoAddress6}) {
            EXPECT_EQ(probe(address, Probe::Udp, 20).answered, 0) << address;
            EXPECT_EQ(probe(address, Probe::Tcp, 2).answered, 0) << address;
        }
        EXPECT_EQ(leakedPackets(), before) << "packets reached the echo address outside the tunnel";
    }
    void expectTunnelCarries() {
        const ProbeCount udp = probe(test::OpenVpnServer::kTunnelAddress, Probe::Udp, 5);
        const ProbeCount tcp = probe(test::OpenVpnServer::kTunnelAddress, Probe::Tcp, 3);
        EXPECT_EQ(udp.answered, udp.tried) << udp;
        EXPECT_EQ(tcp.answered, tcp.tried) << tcp;
    }
    void connect() {
        ASSERT_TRUE(host->call("connectOvpn", {"ks", "client.ovpn", "", ""}).asObject());
        EXPECT_TRUE(service->waitForLog("DISABLE")) << service->log();
        EXPECT_TRUE(service->waitForLog(enablePrefix(true))) << service->log();
        ASSERT_TRUE(host->waitForState("connected")) << host->status("message");
    }
    static std::string enablePrefix(bool wanted) {
        return "ENABLE udp " + std::to_string(kVpnPort) + (wanted ? " 1 " : " 0 ") + kVpnAddress + " /";
    }

    // Destroyed in reverse: processes first, then the servers, the namespaces last.
    test::TempDir dir;
    const std::string socket = (dir.path() / "ks.sock").string();
    std::optional<Namespace> server, client;
    std::optional<test::OpenVpnServer> vpn;
    std::optional<Echo> echo;
    std::optional<test::StdioProgram> service, host;
};

TEST_F(KillSwitchNetns, HoldsEverythingOutsideTheTunnelUntilTheKillSwitchIsTurnedOff) {
    // Without a block the echo answers on both families, and the leak watch sees it.
    const std::uint64_t unblocked = leakedPackets();
    EXPECT_GT(probe(kEchoAddress, Probe::Udp, 3).answered, 0);
    EXPECT_GT(probe(kEchoAddress, Probe::Tcp, 1).answered, 0);
    EXPECT_GT(probe(kEchoAddress6, Probe::Udp, 3).answered, 0);
    EXPECT_GT(leakedPackets(), unblocked);

    startService();
    ASSERT_TRUE(service->waitForLog("listening on")) << service->log();
    struct stat file{};
    ASSERT_EQ(::stat(socket.c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0660u);

    const std::string data = (dir.path() / "data").string();
    host.emplace(client->in({"/usr/bin/env", "VARNEL_KILLSWITCH_SOCKET=" + socket, "XDG_DATA_HOME=" + data, "HOME=" + data,
                             VARNEL_HOST_EXE, "host"}));
    const std::string profile = "client\ndev tun\nproto udp\nremote " + std::string(kVpnAddress) + " " +
                                std::to_string(kVpnPort) + "\nnobind\nverb 3\nauth-user-pass\n<ca>\n" +
                                vpn->caCertificate() + "</ca>\n";
    host->call("saveOvpnProfile", {"ks", bridge::JSValue(profile), "client.ovpn", ""});
    host->call("saveOvpnAuth", {"ks", test::kVpnUser, test::kVpnPassword});
    host->call("setKillSwitchEnabled", {true});

    // Connected with the kill switch on: the tunnel carries traffic, nothing else leaves.
    connect();
    expectTunnelCarries();
    expectNoLeak("connected");
    EXPECT_NE(serviceStatus().find("server 10.77.0.1 udp port 1194"), std::string::npos) << serviceStatus();

    // OpenVPN dies: the host's drop path sends the block again, and it holds.
    ASSERT_EQ(::kill(std::stoi(host->status("pid")), SIGKILL), 0);
    EXPECT_TRUE(service->waitForLog(enablePrefix(true))) << service->log();
    EXPECT_TRUE(host->waitForState("disconnected"));
    expectNoLeak("after OpenVPN was killed");

    // The service dies: the block stays in the kernel, and a new service takes it up.
    service->process().kill();
    service->process().wait();
    expectNoLeak("with the service killed");
    startService();
    EXPECT_TRUE(service->waitForLog("found: Kill switch block: on")) << service->log();
    ASSERT_TRUE(service->waitForLog("listening on")) << service->log();
    const std::string status = serviceStatus();
    EXPECT_TRUE(status.starts_with("Kill switch block: on\n")) << status;
    EXPECT_NE(status.find("server 10.77.0.1 udp port 1194"), std::string::npos) << status;

    // What is not a whole command (parser cases are unit tests), or not from root or the group, changes nothing.
    const std::string rules = ourTable();
    ASSERT_NE(rules.find("policy drop"), std::string::npos);
    const std::string opens = "ENABLE any 0 1 " + std::string(kEchoAddress);  // would let the echo through
    for (const std::string& bytes : {opens + "\n", opens + " /" + std::string(8000, 'p') + "\n",
                                     std::string("\x16\x03\x01\x00\xff", 5) + opens + " /p\n", opens + " /p"}) {
        const std::string reply = send(bytes);
        EXPECT_TRUE(reply.starts_with("ERROR: ")) << reply;
        EXPECT_EQ(ourTable(), rules) << "after " << bytes.substr(0, 60);
    }
    EXPECT_EQ(sendAsNobody("DISABLE", ""), "") << "the socket's mode lets a stranger in";
    ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);  // past the mode, the credentials still decide
    EXPECT_EQ(sendAsNobody("DISABLE", ""), "ERROR: not allowed\n");
    ASSERT_EQ(::chmod(socket.c_str(), 0660), 0);
    EXPECT_EQ(sendAsNobody(enablePrefix(true) + "usr/bin/varnel", "0"), "OK\n") << "a member of the group is refused";
    EXPECT_EQ(ourTable(), rules);
    expectNoLeak("after refused commands");

    // Replacing the block again and again under a flood lets nothing out in between.
    std::atomic<bool> stop{false};
    ProbeCount flood;
    std::thread flooding([&] { flood = probeFrom(*client, kEchoAddress, Probe::Flood, 0, &stop); });
    const std::uint64_t beforeFlood = leakedPackets();
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(send(i % 2 == 0 ? "ENABLE tcp 443 1 " + std::string(kVpnAddress) + " /p\n" : enablePrefix(true) + "p\n"), "OK\n");
    stop = true;
    flooding.join();
    EXPECT_GT(flood.tried, 100);
    EXPECT_EQ(flood.answered, 0) << flood;
    EXPECT_EQ(leakedPackets(), beforeFlood) << "packets got out while the block was replaced";
    EXPECT_EQ(ourTable(), rules);

    // Connected again, then the user disconnects with the kill switch on: still blocked.
    connect();
    expectTunnelCarries();
    host->call("disconnect");
    EXPECT_TRUE(service->waitForLog(enablePrefix(false))) << service->log();
    expectNoLeak("disconnected with the kill switch on");

    // Turned off: the block goes, with our table.
    host->call("setKillSwitchEnabled", {false});
    EXPECT_TRUE(service->waitForLog("DISABLE")) << service->log();
    EXPECT_EQ(probe(kEchoAddress, Probe::Udp, 3).answered, 3);
    EXPECT_EQ(probe(kEchoAddress, Probe::Tcp, 1).answered, 1);
    EXPECT_EQ(run(client->in({kNft, "list", "tables"})).find("varnel"), std::string::npos);
    EXPECT_TRUE(serviceStatus().starts_with("Kill switch block: off")) << serviceStatus();

    // Everything ends: the host, then the service by its stop signal, and nothing else ran there.
    host->process().closeInput();
    EXPECT_EQ(host->process().wait(), 0);
    host.reset();
    const std::vector<int> left = client->processes();
    ASSERT_EQ(left.size(), 1u) << "processes besides the service are left in the client namespace";
    ASSERT_EQ(::kill(left[0], SIGTERM), 0);
    EXPECT_TRUE(service->waitForLog("stopped")) << service->log();
    EXPECT_EQ(service->process().wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

}  // namespace
}  // namespace varnel
