#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/json_reader.h"
#include "platform/killswitch_channel.h"
#include "support/child_process.h"
#include "support/network_lab.h"
#include "support/openvpn_pair.h"
#include "support/temp_dir.h"
#include "support/test_programs.h"
#include "support/wait_until.h"

// The Linux kill-switch service with real traffic. A "server" namespace runs a real OpenVPN server
// and an echo on another address; a "client" namespace runs the service and the system's host,
// which connects through the module. What leaves the client outside the tunnel is counted where it
// would arrive, so one leaked packet fails the test.

namespace varnel {
namespace {

using test::ChildProcess;
using test::NetworkNamespace;
using test::ProbeCount;

constexpr const char* kVpnAddress = "10.77.0.1";
constexpr const char* kClientAddress = "10.77.0.2";
constexpr const char* kEchoAddress = "10.77.0.3";  // outside the tunnel: the block must hold it off
constexpr const char* kClientAddress6 = "fd00:77::2";
constexpr const char* kEchoAddress6 = "fd00:77::3";
constexpr std::uint16_t kVpnPort = 1194;  // ports inside namespaces of our own cannot collide
constexpr std::uint16_t kEchoPort = 7007;
// A group every machine has, so that the test creates none; nobody below is outside it.
constexpr const char* kGroup = "root";
constexpr const char* kNobody = "65534";
constexpr const char* kNft = "/usr/sbin/nft";

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string describe(const ProbeCount& c) {
    return std::to_string(c.tried) + " tried, " + std::to_string(c.sent) + " sent, " + std::to_string(c.answered) +
           " answered";
}

// The system's stdio host inside the client namespace, talked to a request at a time.
class Host {
public:
    Host(const NetworkNamespace& ns, const std::string& socket, const std::string& dataHome) {
        std::vector<std::string> args = ns.execPrefix();
        args.insert(args.end(), {"/usr/bin/env", "VARNEL_KILLSWITCH_SOCKET=" + socket, "XDG_DATA_HOME=" + dataHome,
                                 "HOME=" + dataHome, VARNEL_HOST_EXE, "host"});
        child_.emplace(ChildProcess::start(args.front(), std::vector<std::string>(args.begin() + 1, args.end())));
    }

    // The answer's "result", or a failure naming the "error".
    JSValue call(const std::string& method, const std::string& argsJson = "[]") {
        const std::string id = std::to_string(++lastId_);
        child_->writeLine(R"({"id":)" + id + R"(,"method":")" + method + R"(","args":)" + argsJson + "}");
        for (std::string line; child_->readLine(line);) {
            const JsonParseResult parsed = parseJson(line);
            const JSValueObject* answer = parsed.value ? parsed.value->asObject() : nullptr;
            const JSValue* answerId = answer ? answer->find("id") : nullptr;
            if (!answerId || !answerId->asInt64() || std::to_string(*answerId->asInt64()) != id) continue;
            if (const JSValue* result = answer->find("result")) return *result;
            ADD_FAILURE() << method << ": " << line;
            return JSValue();
        }
        ADD_FAILURE() << "the host ended during " << method;
        return JSValue();
    }
    std::string status(const char* key = "state") {
        const JSValue answer = call("getStatus");
        const JSValue* value = answer.asObject() ? answer.asObject()->find(key) : nullptr;
        if (value && value->asString()) return *value->asString();
        return value && value->asInt64() ? std::to_string(*value->asInt64()) : std::string();
    }
    bool waitForState(const std::string& state) {
        return test::waitUntil([&] { return status() == state; }, std::chrono::seconds(30));
    }
    int end() {
        child_->closeInput();
        return child_->wait();
    }

private:
    std::optional<ChildProcess> child_;
    int lastId_ = 0;
};

// The service as installed, but on a socket of the test's own and inside the client namespace.
class Service {
public:
    Service(const NetworkNamespace& ns, const std::string& socket) {
        std::vector<std::string> args = ns.execPrefix();
        args.insert(args.end(), {VARNEL_KILLSWITCH_SERVICE_EXE, "--socket", socket, "--group", kGroup});
        child_.emplace(ChildProcess::start(args.front(), std::vector<std::string>(args.begin() + 1, args.end())));
    }
    // Reads the service's log up to the first line that starts with prefix.
    bool waitForLog(const std::string& prefix) {
        for (std::string line; child_->readLine(line);) {
            log_.push_back(line);
            if (line.starts_with(prefix)) return true;
        }
        return false;
    }
    std::string log() const {
        std::string all;
        for (const std::string& line : log_) all += "  " + line + "\n";
        return all;
    }
    ChildProcess& process() { return *child_; }

private:
    std::optional<ChildProcess> child_;
    std::vector<std::string> log_;
};

class KillSwitchNetns : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& reason :
             {test::networkLabUnavailableReason(), test::OpenVpnServer::unavailableReason()})
            if (!reason.empty()) GTEST_SKIP() << reason;
        const std::string stem = "varnel-ks-" + std::to_string(::getpid());
        server = std::make_unique<NetworkNamespace>(stem + "-server");
        client = std::make_unique<NetworkNamespace>(stem + "-client");
        client->ip({"link", "add", "eth0", "type", "veth", "peer", "name", "eth0", "netns", server->name()});
        for (const auto& [ns, addresses] : {std::pair{server.get(), std::vector<std::string>{kVpnAddress, kEchoAddress}},
                                            std::pair{client.get(), std::vector<std::string>{kClientAddress}}}) {
            for (const std::string& address : addresses) ns->ip({"addr", "add", address + "/24", "dev", "eth0"});
            ns->ip({"link", "set", "eth0", "up"});
        }
        server->ip({"addr", "add", std::string(kEchoAddress6) + "/64", "dev", "eth0", "nodad"});
        client->ip({"addr", "add", std::string(kClientAddress6) + "/64", "dev", "eth0", "nodad"});
        // Counts every packet that reaches the echo address from outside: the leak detector.
        ASSERT_EQ(server->exec(kNft, {"add table inet leakwatch\n"
                                      "add counter inet leakwatch outside\n"
                                      "add chain inet leakwatch watch { type filter hook prerouting priority -300; }\n"
                                      "add rule inet leakwatch watch iifname \"eth0\" ip daddr " + std::string(kEchoAddress) +
                                          " counter name \"outside\"\n"
                                      "add rule inet leakwatch watch iifname \"eth0\" ip6 daddr " + std::string(kEchoAddress6) +
                                          " counter name \"outside\"\n"})
                      .exitCode,
                  0);
        vpn = std::make_unique<test::OpenVpnServer>(
            test::OpenVpnServerOptions{server->execPrefix(), kVpnAddress, "udp", kVpnPort, true});
        echo = std::make_unique<test::EchoServer>(*server, kEchoPort);
        // The socket's folder must let other users reach the socket, so that its own mode decides.
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    }

    std::uint64_t leakedPackets() {
        const std::string listing = server->exec(kNft, {"list", "counter", "inet", "leakwatch", "outside"}).output;
        const std::size_t at = listing.find("packets ");
        return at == std::string::npos ? ~0ull : std::stoull(listing.substr(at + 8));
    }
    std::string ourTable() { return client->exec(kNft, {"list", "table", "inet", "varnel"}).output; }
    std::string serviceStatus() {
        return client->exec(VARNEL_KILLSWITCH_SERVICE_EXE, {"--status", "--socket", socket}).output;
    }
    std::string send(const std::string& bytes) { return platform::exchangeKillSwitchBytes(socket, bytes).bytes; }
    // Sends a line as the user nobody, with the given extra groups.
    std::string sendAsNobody(const std::string& line, const std::string& groups) {
        std::vector<std::string> args = {"--reuid", kNobody, "--regid", kNobody};
        if (groups.empty()) args.push_back("--clear-groups");
        else args.insert(args.end(), {"--groups", groups});
        args.insert(args.end(), {test::testProgramPath("killswitch_send"), socket, line});
        return test::runCommand("/usr/bin/setpriv", args).output;
    }

    // Nothing outside the tunnel answers and not one packet reaches the echo address.
    void expectNoLeak(const std::string& when) {
        SCOPED_TRACE(when);
        const std::uint64_t before = leakedPackets();
        const ProbeCount udp = test::probeUdp(*client, kEchoAddress, kEchoPort, 20);
        const ProbeCount tcp = test::probeTcp(*client, kEchoAddress, kEchoPort, 2);
        const ProbeCount udp6 = test::probeUdp(*client, kEchoAddress6, kEchoPort, 20);
        const ProbeCount tcp6 = test::probeTcp(*client, kEchoAddress6, kEchoPort, 2);
        std::cout << "[ probes   ] " << when << ": UDP " << describe(udp) << "; TCP " << describe(tcp) << "; UDP6 "
                  << describe(udp6) << "; TCP6 " << describe(tcp6) << std::endl;
        EXPECT_EQ(udp.answered + tcp.answered + udp6.answered + tcp6.answered, 0);
        EXPECT_EQ(leakedPackets(), before) << "packets reached the echo address outside the tunnel";
    }
    void expectTunnelCarries() {
        const ProbeCount udp = test::probeUdp(*client, test::OpenVpnServer::kTunnelAddress, kEchoPort, 5);
        const ProbeCount tcp = test::probeTcp(*client, test::OpenVpnServer::kTunnelAddress, kEchoPort, 3);
        std::cout << "[ probes   ] through the tunnel: UDP " << describe(udp) << "; TCP " << describe(tcp) << std::endl;
        EXPECT_EQ(udp.answered, udp.tried);
        EXPECT_EQ(tcp.answered, tcp.tried);
    }
    void connect(Service& service) {
        ASSERT_TRUE(host->call("connectOvpn", R"(["ks","client.ovpn","",""])").asObject());
        EXPECT_TRUE(service.waitForLog("DISABLE")) << service.log();
        EXPECT_TRUE(service.waitForLog(enablePrefix(true))) << service.log();
        ASSERT_TRUE(host->waitForState("connected")) << host->status("message");
    }
    static std::string enablePrefix(bool wanted) {
        return std::string("ENABLE udp ") + std::to_string(kVpnPort) + (wanted ? " 1 " : " 0 ") + kVpnAddress + " /";
    }

    // Destroyed in reverse: processes first, then the servers, the namespaces last.
    test::TempDir dir;
    std::string socket = (dir.path() / "ks.sock").string();
    std::unique_ptr<NetworkNamespace> server, client;
    std::unique_ptr<test::OpenVpnServer> vpn;
    std::unique_ptr<test::EchoServer> echo;
    std::unique_ptr<Service> service;
    std::unique_ptr<Host> host;
};

TEST_F(KillSwitchNetns, HoldsEverythingOutsideTheTunnelUntilTheKillSwitchIsTurnedOff) {
    // Without a block the echo answers on both families, and the leak watch sees it.
    const std::uint64_t unblocked = leakedPackets();
    EXPECT_GT(test::probeUdp(*client, kEchoAddress, kEchoPort, 3).answered, 0);
    EXPECT_GT(test::probeTcp(*client, kEchoAddress, kEchoPort, 1).answered, 0);
    EXPECT_GT(test::probeUdp(*client, kEchoAddress6, kEchoPort, 3).answered, 0);
    EXPECT_GT(leakedPackets(), unblocked);

    service = std::make_unique<Service>(*client, socket);
    ASSERT_TRUE(service->waitForLog("listening on")) << service->log();
    struct stat file{};
    ASSERT_EQ(::stat(socket.c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0660u);

    host = std::make_unique<Host>(*client, socket, (dir.path() / "data").string());
    const std::string profile = "client\ndev tun\nproto udp\nremote " + std::string(kVpnAddress) + " " +
                                std::to_string(kVpnPort) + "\nnobind\nverb 3\nauth-user-pass\n<ca>\n" +
                                vpn->caCertificate() + "</ca>\n";
    host->call("saveOvpnProfile", "[\"ks\"," + jsonString(profile) + ",\"client.ovpn\",\"\"]");
    host->call("saveOvpnAuth", std::string(R"(["ks",")") + test::kVpnUser + R"(",")" + test::kVpnPassword + "\"]");
    host->call("setKillSwitchEnabled", "[true]");

    // Connected with the kill switch on: the tunnel carries traffic, nothing else leaves.
    connect(*service);
    expectTunnelCarries();
    expectNoLeak("connected");
    EXPECT_NE(serviceStatus().find("server 10.77.0.1 udp port 1194"), std::string::npos) << serviceStatus();

    // OpenVPN dies: the host's drop path sends the block again, and it holds.
    const int openvpn = std::stoi(host->status("pid"));
    ASSERT_EQ(::kill(openvpn, SIGKILL), 0);
    EXPECT_TRUE(service->waitForLog(enablePrefix(true))) << service->log();
    EXPECT_TRUE(host->waitForState("disconnected"));
    expectNoLeak("after OpenVPN was killed");

    // The service dies: the block stays in the kernel, and a new service takes it up.
    service->process().kill();
    service->process().wait();
    expectNoLeak("with the service killed");
    service = std::make_unique<Service>(*client, socket);
    EXPECT_TRUE(service->waitForLog("found: Kill switch block: on")) << service->log();
    ASSERT_TRUE(service->waitForLog("listening on")) << service->log();
    const std::string status = serviceStatus();
    EXPECT_TRUE(status.starts_with("Kill switch block: on\n")) << status;
    EXPECT_NE(status.find("server 10.77.0.1 udp port 1194"), std::string::npos) << status;

    // What is not a command, or not from root or the group, changes nothing.
    const std::string rules = ourTable();
    ASSERT_NE(rules.find("policy drop"), std::string::npos);
    const std::string opens = "ENABLE any 0 1 " + std::string(kEchoAddress);  // would let the echo through
    const std::string malformed[] = {
        opens + "\n",                                      // no program
        opens + " /p\r\r\n",                               // a stray carriage return
        "ENABLE udp 70000 1 " + std::string(kEchoAddress) + " /p\n",
        "ENABLE udp 7007 1 " + std::string(kEchoAddress) + ",fd00:77::3 /p\n",
        "ENABLE udp 7007 1 10.77.0.03 /p\n",
        "enable any 0 1 " + std::string(kEchoAddress) + " /p\n",
        "disable\n",
        opens + " /" + std::string(8000, 'p') + "\n",  // over-long
        std::string("\x16\x03\x01\x00\xff", 5) + opens + " /p\n",  // binary bytes
        opens + " /p\x00/q\n",
        opens + " /p",  // half-written: no line feed within the service's wait
    };
    for (const std::string& bytes : malformed) {
        const std::string reply = send(bytes);
        EXPECT_TRUE(reply.starts_with("ERROR: ")) << reply;
        EXPECT_EQ(ourTable(), rules) << "after " << bytes.substr(0, 60);
    }
    EXPECT_EQ(sendAsNobody("DISABLE", ""), "") << "the socket's mode lets a stranger in";
    ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);  // past the mode, the credentials still decide
    EXPECT_EQ(sendAsNobody("DISABLE", ""), "ERROR: not allowed\n");
    ASSERT_EQ(::chmod(socket.c_str(), 0660), 0);
    EXPECT_EQ(ourTable(), rules);
    EXPECT_EQ(sendAsNobody(enablePrefix(true) + "usr/bin/varnel", "0"), "OK\n") << "a member of the group is refused";
    EXPECT_EQ(ourTable(), rules);
    expectNoLeak("after refused commands");

    // Replacing the block again and again under a flood lets nothing out in between.
    std::atomic<bool> stop{false};
    ProbeCount flood;
    std::thread flooding([&] { flood = test::floodUdp(*client, kEchoAddress, kEchoPort, stop); });
    const std::uint64_t beforeFlood = leakedPackets();
    for (int i = 0; i < 100; ++i) {
        const std::string other = "ENABLE tcp 443 1 " + std::string(kVpnAddress) + " /p\n";
        EXPECT_EQ(send(i % 2 == 0 ? other : enablePrefix(true) + "p\n"), "OK\n");
    }
    stop = true;
    flooding.join();
    std::cout << "[ probes   ] flood over 100 replacements: UDP " << describe(flood) << std::endl;
    EXPECT_GT(flood.tried, 100);
    EXPECT_EQ(flood.answered, 0);
    EXPECT_EQ(leakedPackets(), beforeFlood) << "packets got out while the block was replaced";
    EXPECT_EQ(ourTable(), rules);

    // Connected again, then the user disconnects with the kill switch on: still blocked.
    connect(*service);
    expectTunnelCarries();
    host->call("disconnect");
    EXPECT_TRUE(service->waitForLog(enablePrefix(false))) << service->log();
    expectNoLeak("disconnected with the kill switch on");

    // Turned off: the block goes, with our table.
    host->call("setKillSwitchEnabled", "[false]");
    EXPECT_TRUE(service->waitForLog("DISABLE")) << service->log();
    EXPECT_EQ(test::probeUdp(*client, kEchoAddress, kEchoPort, 3).answered, 3);
    EXPECT_EQ(test::probeTcp(*client, kEchoAddress, kEchoPort, 1).answered, 1);
    EXPECT_EQ(client->exec(kNft, {"list", "tables"}).output.find("varnel"), std::string::npos);
    EXPECT_TRUE(serviceStatus().starts_with("Kill switch block: off")) << serviceStatus();

    // Everything ends: the host, then the service by its stop signal, and nothing else ran there.
    EXPECT_EQ(host->end(), 0);
    host.reset();
    const std::vector<int> left = client->processes();
    ASSERT_EQ(left.size(), 1u) << "processes besides the service are left in the client namespace";
    ASSERT_EQ(::kill(left[0], SIGTERM), 0);
    EXPECT_TRUE(service->waitForLog("stopped")) << service->log();
    EXPECT_EQ(service->process().wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
    service.reset();
    echo.reset();
    vpn.reset();
    EXPECT_TRUE(server->processes().empty());
    const std::string names[] = {server->name(), client->name()};
    server.reset();
    client.reset();
    for (const std::string& name : names) EXPECT_FALSE(test::namespaceExists(name)) << name;
}

}  // namespace
}  // namespace varnel
