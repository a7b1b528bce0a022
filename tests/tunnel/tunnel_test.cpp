#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <optional>
#include <thread>

#include "platform/openvpn_install.h"
#include "platform/process.h"
#include "support/fake_network.h"
#include "support/killswitch_service_double.h"
#include "support/storage_fixture.h"
#include "support/wait_until.h"
#include "tunnel/connection.h"
#include "tunnel/log_classifier.h"
#include "tunnel/management_client.h"
#include "tunnel/openvpn_program.h"
#include "tunnel/session_recovery.h"
#include "tunnel/tunnel.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using platform::PathText;
using test::rejectionMessage;
using test::waitUntil;
using Lines = std::vector<std::string>;

const bool onLinux = platform::kPathSeparator == '/';

// Every path quoted as UTF-8; credentials, management password and IPv6 block only when given.
TEST(OpenVpnCommandLine, PiecesInOrderWithQuotedPaths) {
    const auto path = [](const char* utf8) { return platform::utf8ToPathText(utf8); };
    const std::string driver = onLinux ? "" : " --windows-driver tap-windows6";
    EXPECT_EQ(tunnel::openVpnParameters(path("C:/p 1/J\xC3\xB6rg.ovpn"), path("C:/p 1/auth"), path("/p 1/log"), 11940, path("/p 1/secret"), true),
              "--config \"C:/p 1/J\xC3\xB6rg.ovpn\" --auth-user-pass \"C:/p 1/auth\" --log \"/p 1/log\" --management 127.0.0.1 11940 \"/p 1/secret\" --verb 3 "
              "--connect-retry 2 --connect-timeout 10 --ifconfig-ipv6 fd15:53b6:dead::2/64 fd15:53b6:dead::1 --redirect-gateway ipv6 --block-ipv6" + driver);
    EXPECT_EQ(tunnel::openVpnParameters(path("c"), {}, path("l"), 21940, {}, false),
              "--config \"c\" --log \"l\" --management 127.0.0.1 21940 --verb 3 --connect-retry 2 --connect-timeout 10" + driver);
}

TEST(OpenVpnLocator, OwnFoldersThenTheParentsThenInstallationsThenSearchAndOnlyTrustedPrograms) {
    test::TempDir temp;
    const fs::path outer = temp.path() / "outer", app = outer / "app";
    fs::create_directories(app);
    const PathText executable = (app / "varnel.exe").native(), program = platform::kOpenVpnProgramName;
    // Without a copy of our own: the first installed one, else the system's search.
    const auto candidates = platform::installedOpenVpnCandidates();
    const auto first = std::ranges::find_if(candidates, [](const PathText& c) { return fs::exists(c); });
    const PathText installed = first != candidates.end() ? *first : platform::searchOpenVpnOnPath();
    EXPECT_EQ(tunnel::OpenVpnLocator(executable), installed);
    // Each copy placed wins over those before it (on Linux a folder "openvpn" replaces the copy of that name).
    for (const fs::path& copy : {outer / program, outer / "openvpn" / program, app / program, app / "openvpn" / program}) {
        if (fs::is_regular_file(copy.parent_path())) fs::remove(copy.parent_path());
        fs::create_directories(copy.parent_path());
        std::ofstream(copy) << "x";
        EXPECT_EQ(tunnel::OpenVpnLocator(executable), copy.native());
    }
    // A folder named like the program is no program: the copy next in line is found.
    fs::remove(app / "openvpn" / program);
    fs::create_directories(app / "openvpn" / program);
    const fs::path next = onLinux ? outer / "openvpn" / program : app / program;
    EXPECT_EQ(tunnel::OpenVpnLocator(executable), next.native());
    EXPECT_EQ(tunnel::TapInstallerPath(next.native()), PathText());
    if (const PathText installer = platform::kTapInstallerName; !installer.empty()) {
        std::ofstream(next.parent_path() / installer) << "x";
        EXPECT_EQ(tunnel::TapInstallerPath(next.native()), (next.parent_path() / installer).native());
    }
    if (!onLinux) return;
    // One that its group or others may change, or in a folder they may change, is passed over.
    for (const fs::path& changeable : {next, next.parent_path()})
        for (const fs::perms bit : {fs::perms::group_write, fs::perms::others_write}) {
            fs::permissions(changeable, bit, fs::perm_options::add);
            EXPECT_EQ(tunnel::OpenVpnLocator(executable), installed) << changeable << " " << static_cast<int>(bit);
            fs::permissions(changeable, bit, fs::perm_options::remove);
        }
}

TEST(LogClassifier, RulesInOrderThenTheTellingLine) {
    const std::string auth = "Authentication failed - check your username and password.",
                      adapter = "No network adapter available. Reinstall the VPN (TAP) driver and retry.",
                      resolve = "Could not resolve the VPN server address. Check your internet connection.",
                      reach = "Could not reach the VPN server. It may be offline or blocked.",
                      noResponse = "No response from the VPN server. Check the server address, protocol (UDP/TCP) and port.";
    const std::pair<const char*, std::string> cases[] = {
        {"2026 OpenVPN starting\n2026 TCP connected\n2026 AUTH: Received control message: AUTH_FAILED\n2026 TLS Error: bad\n", auth},
        {"TLS Error: Connection refused (ECONNREFUSED)\n", reach},  // the rules' order within one line
        {"sitnl_send: rtnl: generic error (-101): Network is unreachable\nAUTH_FAILED\n", auth},  // a local netlink failure is not the server's
        {"TLS handshake failed\nAUTH_FAILED\n", "Secure handshake with the VPN server failed (TLS error)."},  // the first line that hits decides
        {"All TAP-Windows adapters on this system are currently in use.\n", adapter}, {"Wintun requires SYSTEM privileges\n", adapter},
        {"wintun: cannot resolve host address: x\n", resolve}, {"Could not determine IPv4/IPv6 protocol\n", resolve},
        {"Server poll timeout, restarting\n", noResponse}, {"All connections have been connect-retry-max times unsuccessful, exiting\n", noResponse},
        {"2026-12-06 10:00:00 Options error: Unrecognized option in x.ovpn:3: bogus\r\n",
         "VPN configuration error: 2026-12-06 10:00:00 Options error: Unrecognized option in x.ovpn:3: bogus"},
        // Else the last line with error, fatal or exiting in any case, else the last line that is not empty.
        {"a\nSIGTERM received, Exiting\nsomething FATAL happened\nplain last\n", "something FATAL happened"},
        {"first\nsecond\r\n\r\n\n", "second"}, {"AUTH_FAILED\xC3\x84\n", auth}, {"Connection timed out", reach},
    };
    for (const auto& [log, expected] : cases) EXPECT_EQ(tunnel::classifyLogText(log), expected) << log;
}

// A scripted management interface on loopback: it greets, then answers each line it hears in turn.
template <class Client>
auto scripted(const std::string& greeting, const Lines& answers, Client client) {
    test::LoopbackServer server;
    platform::Socket socket = tunnel::ManagementConnect(server.port());
    test::LoopbackConnection peer = server.accept();
    std::jthread script([&] {
        peer.send(greeting);
        for (std::string line; const std::string& answer : answers)
            if (peer.readLine(line)) peer.send(answer);
    });
    auto result = client(socket);
    socket.close();  // a client that stopped short must not leave the script waiting for its line
    return result;
}

TEST(ManagementClient, MapsOnlyExactUpperCaseStateNames) {
    for (const auto& [name, word] : std::vector<std::pair<std::string, std::string>>{
             {"CONNECTED", "connected"}, {"WAIT", "connecting"}, {"AUTH", "connecting"}, {"GET_CONFIG", "connecting"}, {"ASSIGN_IP", "connecting"},
             {"ADD_ROUTES", "connecting"}, {"RECONNECTING", "connecting"}, {"EXITING", "disconnected"}, {"DISCONNECTED", "disconnected"},
             {"RESOLVE", "none"}, {"TCP_CONNECT", "none"}, {"connected", "none"}, {"CONNECTED ", "none"}, {"", "none"}})
        EXPECT_EQ(tunnel::MapOpenVpnState(name) ? tunnel::MapOpenVpnState(name) : "none", word) << name;
}

TEST(ManagementClient, LogsInOnlyWithTheRightPasswordToARealPromptAndReadsTheStateReply) {
    const auto login = [](const std::string& greeting, const Lines& answers, const char* password) {
        return scripted(greeting, answers, [&](platform::Socket& socket) { return tunnel::ManagementLogin(socket, password); });
    };
    EXPECT_TRUE(login("ENTER PASSWORD:", {"SUCCESS: password is correct\r\n"}, "s3cret"));
    EXPECT_FALSE(login("ENTER PASSWORD:", {"ENTER PASSWORD:"}, "wrong"));
    // A listener that never asks for a password is not an OpenVPN started by us.
    EXPECT_FALSE(login(">INFO:OpenVPN Management Interface Version 5\r\n", {}, "s3cret"));
    EXPECT_FALSE(login(std::string(300, 'x'), {}, "s3cret"));
    // The recovery asks a running OpenVPN for its state; one that does not answer is still connecting.
    const std::pair<const char*, const char*> states[] = {
        {"1765000000,CONNECTED,SUCCESS,10.8.0.2,127.0.0.1,1194,,\r\nEND\r\n", "connected"},
        {"1765000000,RECONNECTING,ping-restart,,\r\nEND\r\n", "connecting"}, {">STATE:1765000000,EXITING,SIGTERM,,\r\n", "disconnected"}, {"", "connecting"},
    };
    for (const auto& [reply, expected] : states)
        EXPECT_EQ(scripted("", {reply}, [](platform::Socket& socket) { return tunnel::QueryManagementState(socket); }), expected) << reply;
}

// A reader attached as a connect attaches it, kill switch on, server known (read splits: the fuzz target's).
struct ScriptedReader {
    explicit ScriptedReader(const char* log = nullptr, bool wanted = false, const char* status = "connecting") {
        runtime->killSwitch->setEnabled(true, [] { return false; });
        runtime->killSwitch->setServerProtocolAndPort("udp", 1194);
        runtime->killSwitch->recordServerAddresses("192.0.2.7", "udp", 1194);
        const fs::path logPath = runtime->temp.path() / "openvpn.log";
        if (log) std::ofstream(logPath, std::ios::binary) << log;
        // Held by the state and the reader only, so that it closes once the reader lets go.
        auto socket = std::make_shared<platform::Socket>(tunnel::ManagementConnect(server.port()));
        connection.emplace(server.accept());
        tunnel().control.sessionActive = wanted;
        tunnel().control.state.status = status;
        tunnel().control.state.logPath = logPath.native();
        tunnel().control.state.managementSocket = socket;
        EXPECT_TRUE(tunnel::startManagementReader(tunnel(), socket));
        std::string first, second;
        EXPECT_TRUE(connection->readLine(first) && connection->readLine(second));
        EXPECT_EQ(first + "|" + second, "state on|state");
    }
    ~ScriptedReader() { tunnel().reader.stop(); }
    tunnel::Tunnel& tunnel() { return *runtime->tunnel; }
    tunnel::TunnelState state() {
        std::lock_guard lock(tunnel().control.lock);
        return tunnel().control.state;
    }

    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([this](RuntimeServices& s) {
        s.killSwitchChannel = service.channel();
        s.executablePath = platform::widenBytes("/opt/Varnel VPN/varnel");
    });
    test::LoopbackServer server;
    std::optional<test::LoopbackConnection> connection;
};

TEST(ManagementReader, FollowsTheStateAndIsTheOnlyReaderUntilAStopThatIsNoDrop) {
    ScriptedReader r;
    r.connection->send(">INFO:OpenVPN Management Interface Version 5\r\n1765000000,CONNECTED,SUCCESS,10.8.0.6,127.0.0.1,1194,,,\r\nEND\r\n");
    EXPECT_TRUE(waitUntil([&] { return r.state().status == "connected"; }));
    r.connection->send(">STATE:1765000003,RECONNECTING,ping-restart,,\r\n");
    EXPECT_TRUE(waitUntil([&] { return r.state().status == "connecting"; }));
    EXPECT_FALSE(tunnel::startManagementReader(r.tunnel(), std::make_shared<platform::Socket>()));
    r.tunnel().reader.stop();
    std::string line;
    EXPECT_FALSE(r.tunnel().reader.busy() || r.connection->readLine(line));  // stopped, and it closed the connection
    EXPECT_EQ(r.state().status + r.state().message, "connecting");
    EXPECT_TRUE(r.service.received().empty());
}

TEST(ManagementReader, ADropEndsTheSessionWithTheLogsReasonAndBlocksAgainOnlyWhileTheSessionIsWanted) {
    // endlessLine: the peer sends 80 KiB without a line feed instead of closing.
    const struct { const char* what; const char* log; bool wanted, endlessLine; const char* status; const char* message; bool blocksAgain; } cases[] = {
        {"closed, no log, disconnect asked for", nullptr, false, false, "connecting", "Connection closed", false},
        {"closed, log, wanted", "2026 TLS: Initial packet\r\n2026 AUTH: Received control message: AUTH_FAILED\r\n", true, false, "connected",
         "Authentication failed - check your username and password.", true},
        {"endless line, wanted", nullptr, true, true, "connected", "Connection closed", true},
        {"closed after a disconnect", "AUTH_FAILED\n", true, false, "disconnected", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedReader r(c.log, c.wanted, c.status);
        for (int i = 0; c.endlessLine && i < 5; ++i) r.connection->send(std::string(16 * 1024, 'A'));
        if (!c.endlessLine) r.connection->close();
        // The reader lets go of the connection last, after whatever it sends the kill-switch service.
        EXPECT_TRUE(waitUntil([&] { return r.state().managementSocket == nullptr; }));
        EXPECT_EQ(r.state().status + "|" + r.state().message, std::string("disconnected|") + c.message);
        EXPECT_EQ(r.service.received(), c.blocksAgain ? Lines{"ENABLE udp 1194 1 192.0.2.7 /opt/Varnel VPN/varnel\n"} : Lines{});
    }
}

// A listener that is not our OpenVPN (a squatter on the port) never hears the session's password.
TEST(SessionRecovery, ReattachesToATrustedOpenVpnWithTheSessionsPasswordAndNeverTellsItASquatter) {
    for (const bool trusted : {true, false}) {
        SCOPED_TRACE(trusted ? "trusted" : "squatter");
        test::LoopbackServer server;
        auto runtime = test::makeTestRuntime([&](RuntimeServices& s) {
            s.managementPort = server.port();
            s.trustListener = [trusted](std::uint16_t, std::uint32_t) { return trusted; };
        });
        fs::create_directories(fs::path(runtime->dataFolder.root()));
        test::writeFileBytes(runtime->dataFolder.activeRecordFile(), "p7 \r\n");
        test::writeFileBytes(runtime->dataFolder.killSwitchRecordFile(), "udp\r\n1194\r\n192.0.2.1\r\n");
        test::writeFileBytes(runtime->dataFolder.managementSecretFile(), "0123abcd\n");
        std::atomic<bool> answered{false};
        std::string heard;
        std::thread openvpn([&] {
            std::optional<test::LoopbackConnection> peer;
            while (!answered && !peer)
                if (auto client = server.acceptWithin(100)) peer.emplace(std::move(*client));
            if (!peer) return;
            peer->send("ENTER PASSWORD:");
            if (!peer->readLine(heard) || heard != "0123abcd") return;
            peer->send("SUCCESS: password is correct\r\n");
            for (std::string line; peer->readLine(line);)  // the recovery's "state", then the reader's "state on" and "state"
                if (line == "state") peer->send("1765000000,CONNECTED,SUCCESS,10.8.0.2,192.0.2.1,1194,,\r\nEND\r\n");
        });
        test::TestHost host(runtime);
        const bridge::JSValueObject status = *host.callAndWait("getStatus").value.asObject();
        answered = true;
        EXPECT_EQ(*status.find("state"), bridge::JSValue(trusted ? "connected" : "disconnected"));
        EXPECT_EQ(status.find("profileId") ? *status.find("profileId") : bridge::JSValue(), trusted ? bridge::JSValue("p7") : bridge::JSValue());
        EXPECT_TRUE(runtime->tunnel->control.sessionActive == trusted && heard == (trusted ? "0123abcd" : "")) << heard;
        const killswitch::ServerEndpoint endpoint = runtime->killSwitch->server();
        if (trusted) {
            EXPECT_EQ(endpoint.protocol + " " + std::to_string(endpoint.port) + " " + endpoint.addresses, "udp 1194 192.0.2.1");
        }
        runtime->tunnel->reader.stop();
        openvpn.join();
    }
}

// OpenVPN and the TAP installer are found or not as the test says; the launcher answers "declined".
TEST(ConnectSteps, EachStepRejectsWithItsSentenceAndLeavesTheStatusAsItWas) {
    auto adapters = std::make_shared<test::FakeNetworkAdapters>();
    PathText openVpn = platform::utf8ToPathText("openvpn"), tapInstaller;
    auto runtime = test::makeTestRuntime([&](RuntimeServices& s) {
        s.adapters = adapters;
        s.discovery.locateOpenVpn = [&](const PathText&) { return openVpn; };
        s.discovery.locateTapInstaller = [&](const PathText&) { return tapInstaller; };
    });
    runtime->launcher->error = platform::kErrorCancelled;
    test::TestHost host{runtime};
    const auto folder = [&](const char* id) { return fs::path(runtime->dataFolder.root()) / "profiles" / id; };
    const auto place = [&](const char* id, const char* name) {
        fs::create_directories(folder(id));
        std::ofstream(folder(id) / name) << "remote 192.0.2.1 1194\n";
    };
    const auto connect = [&](const char* id, const char* config, const char* user = "") {
        return rejectionMessage(host.callAndWait("connectOvpn", test::args({id, config, user, "pw"})));
    };
    const auto launched = [&](std::size_t i) { return runtime->launcher->launches().at(i).parameters; };
    const std::string declined = "Administrator access denied. Approve the UAC prompt to connect.";
    // A missing configuration falls back to the folder's .ovpn file.
    EXPECT_EQ(connect("none", "client.ovpn"), "VPN config not found for profile: none");
    EXPECT_TRUE(runtime->launcher->launches().empty());
    place("fallback", "other.ovpn");
    EXPECT_EQ(connect("fallback", "client.ovpn"), declined);
    EXPECT_TRUE(launched(0).find("other.ovpn\"") != std::string::npos && launched(0).find("--auth-user-pass") == std::string::npos) << launched(0);
    // The credentials given are written, and passed to OpenVPN because the file then exists.
    EXPECT_EQ(connect("fallback", "other.ovpn", "alice"), declined);
    EXPECT_NE(launched(1).find("--auth-user-pass"), std::string::npos);
    runtime->launcher->error = 2;
    EXPECT_EQ(connect("fallback", "other.ovpn"), "Failed to launch OpenVPN (error 2)");
    // Without an adapter the installer beside OpenVPN is run silently; it fails, and the adapter is still missing.
    adapters->present = false;
    tapInstaller = platform::utf8ToPathText("tap-windows.exe");
    EXPECT_EQ(connect("fallback", "other.ovpn"),
              "No TAP-Windows network adapter is installed, and it could not be set up automatically. Install the TAP-Windows driver and retry.");
    EXPECT_EQ(platform::pathTextToUtf8(runtime->launcher->launches().back().program) + " " + launched(3), "tap-windows.exe /S");
    openVpn.clear();
    EXPECT_EQ(connect("fallback", "other.ovpn"), "OpenVPN not found. Install OpenVPN Community from https://openvpn.net/community-downloads/");
    EXPECT_EQ(rejectionMessage(host.callAndWait("pingHelper")), "OpenVPN not found. Install OpenVPN Community from https://openvpn.net");
    EXPECT_EQ(runtime->launcher->launches().size(), 4u);
    EXPECT_EQ(host.callAndWait("getStatus").value,
              bridge::JSValue(bridge::JSValueObject{{"state", bridge::JSValue("disconnected")}, {"downBps", bridge::JSValue(0.0)}, {"upBps", bridge::JSValue(0.0)}}));
    EXPECT_FALSE(fs::exists(fs::path(runtime->dataFolder.activeRecordFile())));
    EXPECT_EQ(host.callAndWait("disconnect").value, bridge::JSValue(bridge::JSValueObject{{"state", bridge::JSValue("disconnected")}}));
}

TEST(LifecycleOrder, OperationsRunOneAtATimeInTheOrderTheyWereAskedForAndAnAbandonedTicketIsSkipped) {
    auto order = std::make_shared<tunnel::LifecycleOrder>();
    std::vector<std::shared_ptr<tunnel::LifecycleOrder::Ticket>> tickets;
    for (int i = 0; i < 8; ++i) tickets.push_back(order->take());
    tickets[3].reset();  // its worker never started: the turn is given up, not waited for for ever
    std::vector<int> ran(7);
    std::atomic<int> position{0}, running{0};
    std::atomic<bool> overlapped{false};
    {
        std::vector<std::jthread> workers;
        for (int i = 7; i >= 0; --i)  // started in reverse, so only the order itself can put them right
            if (i != 3)
                workers.emplace_back([&, i, ticket = std::move(tickets[i])]() mutable {
                    ticket->wait();
                    overlapped = overlapped || running++ != 0;
                    ran[position++] = i;
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    --running;
                    ticket.reset();
                });
    }
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 4, 5, 6, 7}));
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(order->idle());
}

TEST(TrafficRates, OverAtLeastHalfASecondAfreshAfterAResetOrAnotherAdapterAndOnlyWhileConnected) {
    auto adapters = std::make_shared<test::FakeNetworkAdapters>();
    auto clock = std::make_shared<test::FakeClock>();
    auto runtime = test::makeTestRuntime([&](RuntimeServices& s) { s.adapters = adapters; s.clock = clock; });
    adapters->inOctets = 5'000'000;
    struct Step { const char* what; const char* status; std::uint64_t ms; std::int64_t in, out; std::optional<std::uint64_t> adapter; double down, up; bool readable = true; };
    const Step steps[] = {
        {"first sample", "connected", 0, 0, 0, 7, 0, 0}, {"bytes per second", "connected", 1500, 3000, 600, 7, 2000, 400},
        {"under 500 ms: the same rates", "connected", 200, 5000, 0, 7, 2000, 400},
        {"500 ms after the reference, which kept its counters", "connected", 300, 0, 0, 7, 10000, 0},
        {"a counter gone back (adapter reset) keeps its rate", "connected", 1000, -10000, 1000, 7, 10000, 1000},
        {"from the new reference, cut to whole numbers", "connected", 3000, 1000, 2, 7, 333, 0},
        {"no adapter up", "connected", 1000, 1000, 1000, std::nullopt, 0, 0}, {"first sample after that", "connected", 1000, 1000, 1000, 7, 0, 0},
        {"another adapter", "connected", 1000, 1000, 1000, 8, 0, 0}, {"again", "connected", 1000, 1000, 1000, 8, 1000, 1000},
        {"not connected", "connecting", 1000, 1000, 1000, 8, 0, 0}, {"afresh after that", "connected", 1000, 1000, 1000, 8, 0, 0},
        {"counters that cannot be read change nothing", "connected", 1000, 1000, 0, 8, 0, 0, false}, {"readable again", "connected", 0, 0, 0, 8, 1000, 0},
    };
    for (const Step& s : steps) {
        runtime->tunnel->control.state.status = s.status;
        clock->now += s.ms;
        adapters->inOctets += static_cast<std::uint64_t>(s.in);
        adapters->outOctets += static_cast<std::uint64_t>(s.out);
        adapters->active = s.adapter;
        adapters->readable = s.readable;
        EXPECT_EQ(runtime->tunnel->trafficStats(), (bridge::JSValueObject{{"downBps", bridge::JSValue(s.down)}, {"upBps", bridge::JSValue(s.up)}})) << s.what;
    }
}

}  // namespace
}  // namespace varnel
