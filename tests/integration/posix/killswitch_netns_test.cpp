#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

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
constexpr const char* kIp = "/usr/sbin/ip";
constexpr const char* kNft = "/usr/sbin/nft";
constexpr const char* kSetpriv = "/usr/bin/setpriv";
constexpr const char* kPing = "/usr/bin/ping";

// Runs a program to its end; its standard output. Throws when it fails and check is set.
std::string run(const std::vector<std::string>& command, bool check = true) {
    ChildProcess child = ChildProcess::start(command[0], {command.begin() + 1, command.end()});
    child.closeInput();
    std::string output;
    for (std::string line; child.readLine(line);) output += line + "\n";
    if (child.wait() != 0 && check) throw std::runtime_error(command[0] + " " + command[1] + " failed: " + output);
    return output;
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
    // The command, started inside.
    std::vector<std::string> in(std::vector<std::string> command) const {
        command.insert(command.begin(), {kIp, "netns", "exec", name_});
        return command;
    }
    void ip(std::vector<std::string> args) const {
        args.insert(args.begin(), {kIp, "-n", name_});
        run(args);
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

class KillSwitchNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = test::OpenVpnServer::unavailableReason(); !reason.empty()) GTEST_SKIP() << reason;
        for (const char* tool : {kIp, kNft, kSetpriv, kPing})
            if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is missing (scripts/setup installs it)";
        const std::string stem = "varnel-ks-" + std::to_string(::getpid());
        server.emplace(stem + "-server");
        client.emplace(stem + "-client");
        client->ip({"link", "add", "eth0", "type", "veth", "peer", "name", "eth0", "netns", stem + "-server"});
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
        vpn.emplace(test::OpenVpnServerOptions{server->in({}), kVpnAddress, true, kVpnPort, true});
        // The socket's folder must let other users reach the socket, so that its own mode decides.
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    }

    std::uint64_t leakedPackets() {
        const std::string listing = run(server->in({kNft, "list", "counter", "inet", "leakwatch", "outside"}));
        const std::size_t at = listing.find("packets ");
        if (at == std::string::npos) throw std::runtime_error("no leak counter in: " + listing);
        return std::stoull(listing.substr(at + 8));
    }
    std::string ourTable() { return run(client->in({kNft, "list", "table", "inet", "varnel"}), false); }
    std::string serviceStatus() { return run(client->in({VARNEL_KILLSWITCH_SERVICE_EXE, "--status", "--socket", socket}), false); }
    void startService() { service.emplace(client->in({VARNEL_KILLSWITCH_SERVICE_EXE, "--socket", socket, "--group", "root"})); }
    // Sends a line as the user nobody, with the given extra groups.
    std::string sendAsNobody(const std::string& line, const std::string& groups) {
        std::vector<std::string> command = {kSetpriv, "--reuid", "65534", "--regid", "65534"};
        if (groups.empty()) command.push_back("--clear-groups");
        else command.insert(command.end(), {"--groups", groups});
        command.insert(command.end(), {test::testProgramPath("killswitch_send"), socket, line});
        return run(command);
    }
    // How many of count pings from the client namespace were answered.
    int pings(const std::string& address, int count) {
        const std::string output = run(client->in({kPing, "-n", "-q", "-i", "0.2", "-W", "1", "-c", std::to_string(count), address}), false);
        std::smatch received;
        return std::regex_search(output, received, std::regex("(\\d+) received")) ? std::stoi(received[1]) : -1;
    }

    // Nothing outside the tunnel answers and not one packet reaches the echo address.
    void expectNoLeak(const std::string& when) {
        SCOPED_TRACE(when);
        const std::uint64_t before = leakedPackets();
        for (const char* address : {kEchoAddress, kEchoAddress6}) EXPECT_EQ(pings(address, 5), 0) << address;
        EXPECT_EQ(leakedPackets(), before) << "packets reached the echo address outside the tunnel";
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
    std::optional<test::StdioProgram> service, host;
};

TEST_F(KillSwitchNetns, HoldsEverythingOutsideTheTunnelUntilTheKillSwitchIsTurnedOff) {
    // Without a block the echo address answers on both families, and the leak watch sees it.
    const std::uint64_t unblocked = leakedPackets();
    for (const char* address : {kEchoAddress, kEchoAddress6}) EXPECT_EQ(pings(address, 2), 2) << address;
    EXPECT_GE(leakedPackets(), unblocked + 4);

    startService();
    ASSERT_TRUE(service->waitForLog("listening on")) << service->log();
    EXPECT_EQ(std::filesystem::status(socket).permissions(), std::filesystem::perms(0660));

    const std::string data = (dir.path() / "data").string();
    host.emplace(client->in({"/usr/bin/env", "VARNEL_KILLSWITCH_SOCKET=" + socket, "XDG_DATA_HOME=" + data, "HOME=" + data,
                             VARNEL_HOST_EXE, "host"}));
    host->call("saveOvpnProfile", {"ks", bridge::JSValue(vpn->clientProfile()), "client.ovpn", ""});
    host->call("saveOvpnAuth", {"ks", test::kVpnUser, test::kVpnPassword});
    host->call("setKillSwitchEnabled", {true});

    // Connected with the kill switch on: the tunnel carries traffic, nothing else leaves.
    connect();
    EXPECT_EQ(pings(test::OpenVpnServer::kTunnelAddress, 3), 3);
    expectNoLeak("connected");

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

    // What comes from neither root nor the group changes nothing.
    const std::string rules = ourTable();
    ASSERT_NE(rules.find("policy drop"), std::string::npos);
    EXPECT_EQ(sendAsNobody("DISABLE", ""), "") << "the socket's mode lets a stranger in";
    std::filesystem::permissions(socket, std::filesystem::perms(0666));  // past the mode, the credentials still decide
    EXPECT_EQ(sendAsNobody("DISABLE", ""), "ERROR: not allowed\n");
    std::filesystem::permissions(socket, std::filesystem::perms(0660));
    EXPECT_EQ(sendAsNobody(enablePrefix(true) + "usr/bin/varnel", "0"), "OK\n") << "a member of the group is refused";
    EXPECT_EQ(ourTable(), rules);
    expectNoLeak("after refused commands");

    // Connected again, then the user disconnects with the kill switch on: still blocked.
    connect();
    EXPECT_EQ(pings(test::OpenVpnServer::kTunnelAddress, 3), 3);
    host->call("disconnect");
    EXPECT_TRUE(service->waitForLog(enablePrefix(false))) << service->log();
    expectNoLeak("disconnected with the kill switch on");

    // Turned off: the block goes, with our table.
    host->call("setKillSwitchEnabled", {false});
    EXPECT_TRUE(service->waitForLog("DISABLE")) << service->log();
    EXPECT_EQ(pings(kEchoAddress, 2), 2);
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
