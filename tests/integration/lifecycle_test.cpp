#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>
#include <thread>

#include "platform/listener.h"
#include "platform/openvpn_install.h"
#include "platform/process_list.h"
#include "support/environment.h"
#include "support/fake_network.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"
#include "support/storage_fixture.h"
#include "support/test_programs.h"
#include "support/wait_until.h"
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

// The whole connection through the module against the real OpenVPN (Linux, root) or the stand-in (Wine).

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::waitUntil;

// The host program's management port, which it does not let anyone change.
constexpr std::uint16_t kHostManagementPort = 11940;

// The system's launcher, keeping a handle of its own to every process it starts: while that is open,
// Windows gives the id to no other process, so that an id it reports, or a kill by it, is one of ours.
class RecordingLauncher final : public platform::ProcessLauncher {
public:
    platform::LaunchResult launchElevated(const platform::PathText& program, const std::string& parameters) override {
        platform::LaunchResult result = real_->launchElevated(program, parameters);
        std::lock_guard lock(mutex_);
        if (result.process.valid()) launched_.push_back(platform::openProcess(platform::processId(result.process)));
        return result;
    }
    std::vector<std::uint32_t> stillRunning() {
        std::lock_guard lock(mutex_);
        std::vector<std::uint32_t> alive;
        for (const platform::ProcessHandle& process : launched_)
            if (process.valid() && !platform::waitForExit(process, 0)) alive.push_back(platform::processId(process));
        return alive;
    }

private:
    const std::shared_ptr<platform::ProcessLauncher> real_ = platform::systemProcessLauncher();
    std::mutex mutex_;
    std::vector<platform::ProcessHandle> launched_;
};

std::string field(const bridge::JSValueObject& o, const char* key) {
    const bridge::JSValue* v = o.find(key);
    return v && v->asString() ? *v->asString() : std::string();
}
bridge::JSValue stateIs(const char* state) { return bridge::JSValue(bridge::JSValueObject{{"state", bridge::JSValue(state)}}); }

class Lifecycle : public ::testing::TestWithParam<bool> {  // true: the real OpenVPN
protected:
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override {
        if (const std::string reason = test::OpenVpnServer::unavailableReason(); real() && !reason.empty()) GTEST_SKIP() << reason;
#ifndef _WIN32
        if (::geteuid() != 0) GTEST_SKIP() << "OpenVPN's place is root's: its program and its listener";
#endif
        if (real() && !server) server.emplace();
        // What OpenVPN leaves running ends with this program, whoever started it.
        test::setEnvironmentVariable("VARNEL_TEST_PID", std::to_string(platform::currentProcessId()));
        test::endDescendantsWithThisProgram();
        // The stand-in, as OpenVPN's program in the application folder, where the system looks first.
        fs::create_directories(app);
        if (!real()) fs::copy_file(fs::u8path(test::testProgramPath("openvpn_standin")), program);
        runtime = makeRuntime(nullptr);
        host.emplace(runtime);
        saveProfile("p1", profile());
    }
    void TearDown() override {
        if (!host) return;  // skipped
        EXPECT_EQ(host->callAndWait("disconnect").value, stateIs("disconnected"));
        EXPECT_TRUE(waitUntil([&] { return launcher->stillRunning().empty(); }, std::chrono::seconds(10))) << "OpenVPN still runs";
        for (const std::uint32_t pid : launcher->stillRunning()) platform::terminateProcess(pid);
    }

    bool real() const { return GetParam(); }
    std::shared_ptr<test::TestRuntime> makeRuntime(const RuntimeServices* sameFolder) {
        return test::makeTestRuntime([&](RuntimeServices& s) {
            test::useRealOpenVpn(s);
            s.launcher = launcher;
            s.executablePath = (app / "varnel.exe").native();
            s.managementPort = managementPort;
            s.killSwitchChannel = service.channel();
            if (!real()) s.adapters = std::make_shared<test::FakeNetworkAdapters>();  // no TAP adapter under Wine
            if (sameFolder) {
                s.localDataFolder = sameFolder->localDataFolder;
                s.credentials = sameFolder->credentials;
            }
        });
    }
    std::string profile() const { return real() ? server->clientProfile() : "client\ndev null\nproto udp\nremote 127.0.0.1 1194\n"; }
    void saveProfile(const std::string& id, const std::string& config) {
        ASSERT_TRUE(host->callAndWait("saveOvpnProfile", args({bridge::JSValue(id), bridge::JSValue(config), "client.ovpn", ""})).resolved);
    }
    test::Settlement connect(const std::string& id, const std::string& password = test::kVpnPassword) {
        return host->call("connectOvpn", args({bridge::JSValue(id), "client.ovpn", test::kVpnUser, bridge::JSValue(password)}))->wait();
    }
    static bridge::JSValueObject status(test::TestHost& h) { return *h.callAndWait("getStatus").value.asObject(); }
    bridge::JSValueObject status() { return status(*host); }
    bool reaches(const std::string& state) { return waitUntil([&] { return field(status(), "state") == state; }); }
    // The failure sentence from the rejection, or from the status once the session ended.
    std::string failure(const test::Settlement& connected) {
        if (!connected.resolved) return test::rejectionMessage(connected);
        waitUntil([&] { return field(status(), "state") == "disconnected"; }, std::chrono::seconds(60));
        return field(status(), "message");
    }

    static inline std::optional<test::OpenVpnServer> server;
    test::TempDir appFolder;
    const fs::path app = appFolder.path() / "app";
    const fs::path program = app / platform::PathText(platform::kOpenVpnProgramName);
    const std::uint16_t managementPort = test::freeLoopbackPort();
    const std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::TestRuntime> runtime;
    std::optional<test::TestHost> host;
};

// What the management interface says next.
std::string nextWords(const platform::Socket& socket) {
    char buffer[256];
    if (platform::waitReadable(socket, 5000) != platform::WaitResult::Readable) return {};
    const long n = platform::receiveSome(socket, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Whether a stranger (on Linux uid 65534) offering a command without the password is only asked for it.
bool strangerOnlyAskedForThePassword(std::uint16_t port) {
    const auto probe = [port] {
        const platform::Socket socket = platform::connectLoopback(port);
        const bool asked = nextWords(socket) == "ENTER PASSWORD:";
        platform::sendOnce(socket, "signal SIGTERM\n");
        return asked && nextWords(socket) == "ENTER PASSWORD:";
    };
#ifdef _WIN32
    return probe();
#else
    const pid_t child = ::fork();
    if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && probe() ? 0 : 1);
    int status = 1;
    ::waitpid(child, &status, 0);
    return status == 0;
#endif
}

TEST_P(Lifecycle, ConnectsReportsAndDisconnects) {
    EXPECT_EQ(connect("p1").value, stateIs("connecting"));
    ASSERT_TRUE(reaches("connected")) << field(status(), "message");
    const bridge::JSValueObject connected = status();
    EXPECT_EQ(field(connected, "profileId"), "p1");
    ASSERT_NE(connected.find("pid"), nullptr);
    EXPECT_EQ(connected.find("message"), nullptr);
    EXPECT_EQ(connected.find("downBps")->type(), bridge::JSValueType::Double);
    EXPECT_EQ(*host->callAndWait("getHelperInfo").value.asObject()->find("reachable"), bridge::JSValue(true));
    const fs::path root(runtime->dataFolder.root());
    EXPECT_TRUE(fs::exists(root / "active.txt"));
    // A second connect ends the first OpenVPN before it starts the next, and the status follows it.
    saveProfile("p2", profile());
    ASSERT_TRUE(connect("p2").resolved);
    const std::vector<std::uint32_t> running = launcher->stillRunning();
    ASSERT_EQ(running.size(), 1u) << "the first OpenVPN still runs, or the second has ended";
    ASSERT_TRUE(reaches("connected"));
    EXPECT_EQ(field(status(), "profileId"), "p2");
    EXPECT_EQ(*status().find("pid"), bridge::JSValue(static_cast<std::int64_t>(running.front())));

    // With the kill switch off, a disconnect lifts every rule rather than leaving a block.
    EXPECT_EQ(host->callAndWait("disconnect").value, stateIs("disconnected"));
    EXPECT_EQ(service.received().back(), "DISABLE\n");
    EXPECT_FALSE(fs::exists(root / "active.txt"));
    EXPECT_FALSE(fs::exists(root / "killswitch.txt"));
    EXPECT_EQ(status(), (bridge::JSValueObject{{"state", bridge::JSValue("disconnected")}, {"downBps", bridge::JSValue(0.0)}, {"upBps", bridge::JSValue(0.0)}}));
    EXPECT_EQ(*host->callAndWait("getHelperInfo").value.asObject()->find("reachable"), bridge::JSValue(false));
    EXPECT_TRUE(waitUntil([&] { return launcher->stillRunning().empty(); })) << "disconnect left OpenVPN running";
}

// The host killed with the tunnel up: OpenVPN runs on, strangers cannot drive it, the next host recovers it.
TEST_P(Lifecycle, AKilledHostLeavesTheSessionForTheNextHostToRecover) {
#ifdef _WIN32
    GTEST_SKIP() << "the host program needs a TAP adapter, and Wine has none";
#endif
    try {
        test::LoopbackServer probe(kHostManagementPort);
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "another program holds the host's management port " << kHostManagementPort;
    }
    // The host installed beside the stand-in (when that is the subject), where it looks first.
    const fs::path exe = app / fs::u8path(VARNEL_HOST_EXE).filename();
    fs::copy_file(fs::u8path(VARNEL_HOST_EXE), exe);
    test::setEnvironmentVariable("XDG_DATA_HOME", (appFolder.path() / "data").string());
    test::setEnvironmentVariable("VARNEL_KILLSWITCH_SOCKET", service.channel());
    const std::vector<std::string> command{exe.string(), "host"};
    std::optional<test::StdioProgram> first(command);
    first->call("saveOvpnProfile", {"r", bridge::JSValue(profile()), "client.ovpn", ""});
    ASSERT_EQ(first->call("connectOvpn", {"r", "client.ovpn", test::kVpnUser, test::kVpnPassword}), stateIs("connecting"));
    ASSERT_TRUE(first->waitForState("connected")) << first->status("message");
    const std::string pid = first->status("pid");
    const platform::ProcessHandle openVpn = platform::openProcess(static_cast<std::uint32_t>(std::stoul(pid)));
    // No launcher of ours saw this OpenVPN start: it is ended here even when the test fails half-way.
    const struct EndAtLast {
        const platform::ProcessHandle& process;
        ~EndAtLast() { platform::requestExit(process); }
    } endAtLast{openVpn};
#ifndef _WIN32
    // OpenVPN leads a session and process group of its own, so that ending the host's group spares it.
    EXPECT_EQ(::getsid(std::stoi(pid)), std::stoi(pid));
    EXPECT_EQ(::getpgid(std::stoi(pid)), std::stoi(pid));
#endif
    first->process().kill();
    first->process().wait();
    first.reset();
    ASSERT_FALSE(platform::waitForExit(openVpn, 0)) << "OpenVPN ended with the host";
    EXPECT_TRUE(strangerOnlyAskedForThePassword(kHostManagementPort));

    test::StdioProgram second(command);
    EXPECT_EQ(second.status(), "connected");
    EXPECT_EQ(second.status("profileId"), "r");
    EXPECT_EQ(second.status("pid"), pid);
    EXPECT_EQ(second.call("disconnect"), stateIs("disconnected"));
    EXPECT_TRUE(platform::waitForExit(openVpn, 10000));
    second.process().closeInput();
    EXPECT_EQ(second.process().wait(), 0);
}

TEST_P(Lifecycle, FailuresReachTheInterfaceAsPlainSentences) {
    EXPECT_EQ(failure(connect("p1", "wrong")), "Authentication failed - check your username and password.");
    EXPECT_EQ(field(status(), "state"), "disconnected");
    if (!real()) return;  // the stand-in reads no directives
    // OpenVPN tells a profile it cannot use on its standard error, before it opens its log.
    saveProfile("bad", profile() + "bogus-directive 1\n");
    EXPECT_EQ(failure(connect("bad")), "OpenVPN exited before connecting. Check the config file or credentials.");
}

// Unwaited random connects, disconnects, status calls and crashes end consistent, nothing left running.
TEST_P(Lifecycle, ThousandRandomOrdersOfConnectDisconnectStatusAndDropEndConsistent) {
    std::mt19937 random(7);
    std::vector<std::shared_ptr<test::CallRecord>> calls;
    for (int step = 0; step < 1000; ++step) {
        const unsigned pick = random() % 20;
        if (pick < 2) calls.push_back(host->call("connectOvpn", args({"p1", "client.ovpn", test::kVpnUser, test::kVpnPassword})));
        else if (pick < 4) calls.push_back(host->call("disconnect"));
        else if (pick < 5) for (const std::uint32_t pid : launcher->stillRunning()) platform::terminateProcess(pid);  // a crash
        else calls.push_back(host->call("getStatus"));
        if (random() % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 5));
    }
    calls.push_back(host->call("disconnect"));
    for (auto& call : calls) call->wait();
    EXPECT_EQ(field(status(), "state"), "disconnected");
    EXPECT_TRUE(waitUntil([&] { return launcher->stillRunning().empty(); }, std::chrono::seconds(5)));
    EXPECT_FALSE(fs::exists(fs::path(runtime->dataFolder.root()) / "active.txt"));
}

// A process that took the management port first and answers like OpenVPN, password and all.
TEST_P(Lifecycle, ASquatterOnTheManagementPortIsNeverTakenForOpenVpn) {
    {
        test::LoopbackServer ours;
        if (platform::loopbackListenerPid(ours.port()) != platform::currentProcessId())
            GTEST_SKIP() << "this system does not say who listens on a port (Wine): only the password guards it";
    }
    test::LoopbackServer squatter(managementPort);
    std::atomic<bool> stop{false};
    std::thread liar([&] {
        while (!stop) {
            auto peer = squatter.acceptWithin(50);
            if (!peer) continue;
            peer->send("ENTER PASSWORD:");
            std::string line;
            peer->readLineWithin(line, 500);
            peer->send("SUCCESS: password is correct\r\n>STATE:1,CONNECTED,SUCCESS,10.8.0.2,,,,\r\n");
        }
    });
    // Neither recovered as a tunnel nor connected to on its answers.
    test::TestHost second(makeRuntime(&runtime->services));
    EXPECT_EQ(field(status(second), "state"), "disconnected");
    EXPECT_FALSE(second.callAndWait("connectOvpn", args({"p1", "client.ovpn", test::kVpnUser, test::kVpnPassword})).resolved);
    EXPECT_EQ(field(status(second), "state"), "disconnected");
    stop = true;
    liar.join();
}

INSTANTIATE_TEST_SUITE_P(OpenVpn, Lifecycle, ::testing::Bool(), [](const auto& info) { return info.param ? "Real" : "StandIn"; });

}  // namespace
}  // namespace varnel
