#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/openvpn_install.h"
#include "platform/listener.h"
#include "platform/process_list.h"
#include "support/fake_network.h"
#include "support/killswitch_service_double.h"
#include "support/loopback_server.h"
#include "support/openvpn_pair.h"
#include "support/temp_dir.h"
#include "support/test_helpers.h"
#include "support/test_host.h"
#include "support/test_programs.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"

// The lifecycle under hostile timing and a hostile neighbour, with the stand-in in OpenVPN's place:
// what the status says must always be what the processes do.

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;

// The system's launcher, keeping the id of every process it starts.
class RecordingLauncher final : public platform::ProcessLauncher {
public:
    platform::LaunchResult launchElevated(const platform::PathText& program, const std::string& parameters) override {
        platform::LaunchResult result = real_->launchElevated(program, parameters);
        std::lock_guard lock(mutex_);
        if (result.process.valid()) pids_.push_back(platform::processId(result.process));
        return result;
    }
    std::vector<std::uint32_t> pids() {
        std::lock_guard lock(mutex_);
        return pids_;
    }

private:
    std::shared_ptr<platform::ProcessLauncher> real_ = platform::systemProcessLauncher();
    std::mutex mutex_;
    std::vector<std::uint32_t> pids_;
};

bool running(std::uint32_t pid) {
    const platform::ProcessHandle process = platform::openProcess(pid);
    return process.valid() && !platform::waitForExit(process, 0);
}

class HardenedLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(app);
        fs::copy_file(fs::u8path(test::testProgramPath("openvpn_standin")), app / platform::PathText(platform::kOpenVpnProgramName));
        for (int i = 0; i < 5; ++i) {
            const std::string config = "standin-behaviour connect\nremote 127.0.0.1 1194\nproto udp\n";
            ASSERT_TRUE(host.callAndWait("saveOvpnProfile", args({JSValue("p" + std::to_string(i)), JSValue(config), "client.ovpn", ""})).resolved);
        }
    }
    void TearDown() override { host.callAndWait("disconnect"); }

    void configure(RuntimeServices& s) {
        test::useRealOpenVpn(s);
        s.launcher = launcher;
        s.executablePath = (app / "varnel.exe").native();
        s.adapters = std::make_shared<test::FakeNetworkAdapters>();
        s.killSwitchChannel = service.channel();
    }
    std::shared_ptr<test::CallRecord> connect(int profile) {
        return host.call("connectOvpn", args({JSValue("p" + std::to_string(profile)), "client.ovpn", "alice", "secret"}));
    }
    JSValueObject status() { return *host.callAndWait("getStatus").value.asObject(); }
    std::vector<std::uint32_t> runningLaunches() {
        std::vector<std::uint32_t> alive;
        for (std::uint32_t pid : launcher->pids())
            if (running(pid)) alive.push_back(pid);
        return alive;
    }
    fs::path dataRoot() { return fs::path(runtime->dataFolder.root()); }

    test::TempDir appFolder;
    const fs::path app = appFolder.path() / "app";
    std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([this](RuntimeServices& s) { configure(s); });
    test::TestHost host{runtime};
};

TEST_F(HardenedLifecycle, AnEarlyDisconnectNeverLeavesAnOpenVpnOrASessionRecordBehind) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto connecting = connect(round % 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 500));
        EXPECT_EQ(host.callAndWait("disconnect").value, JSValue(JSValueObject{{"state", JSValue("disconnected")}}));
        connecting->wait();
        EXPECT_TRUE(test::waitUntil([&] { return runningLaunches().empty(); }, std::chrono::seconds(5)));
        EXPECT_EQ(*status().find("state"), JSValue("disconnected"));
        EXPECT_FALSE(fs::exists(dataRoot() / "active.txt"));
        if (HasFailure()) break;
    }
}

TEST_F(HardenedLifecycle, ABurstOfConnectsEndsWithOneOpenVpnAndTheStatusNamesItsProfile) {
    std::vector<std::shared_ptr<test::CallRecord>> calls;
    for (int i = 0; i < 5; ++i) calls.push_back(connect(i));
    for (auto& call : calls) call->wait();
    ASSERT_TRUE(test::waitUntil([&] { return *status().find("state") == JSValue("connected"); }));
    const JSValueObject s = status();
    EXPECT_EQ(*s.find("profileId"), JSValue("p4"));
    EXPECT_TRUE(test::waitUntil([&] { return runningLaunches().size() == 1; }, std::chrono::seconds(5)));
    ASSERT_EQ(runningLaunches().size(), 1u);
    EXPECT_EQ(*s.find("pid"), JSValue(static_cast<std::int64_t>(runningLaunches().front())));
}

// Random orders of everything the interface and OpenVPN can do to a session, none waiting for the
// last: the record must end consistent, with nothing left running (and the thread sanitizer quiet).
TEST_F(HardenedLifecycle, ThousandRandomOrdersOfConnectDisconnectStatusAndDropEndConsistent) {
    std::mt19937 random(7);
    std::vector<std::shared_ptr<test::CallRecord>> calls;
    for (int step = 0; step < 1000; ++step) {
        const unsigned pick = random() % 20;
        if (pick < 2) {
            calls.push_back(connect(static_cast<int>(random() % 5)));
        } else if (pick < 4) {
            calls.push_back(host.call("disconnect"));
        } else if (pick < 5) {
            // OpenVPN gone without a word, as a crash would leave it.
            for (std::uint32_t pid : runningLaunches()) platform::terminateProcess(pid);
        } else {
            calls.push_back(host.call("getStatus"));
        }
        if (random() % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 5));
    }
    calls.push_back(host.call("disconnect"));
    for (auto& call : calls) call->wait();
    EXPECT_EQ(*status().find("state"), JSValue("disconnected"));
    EXPECT_TRUE(test::waitUntil([&] { return runningLaunches().empty(); }, std::chrono::seconds(5)));
    EXPECT_FALSE(fs::exists(dataRoot() / "active.txt"));
}

// A process that took the management port first and answers like OpenVPN, password and all.
TEST_F(HardenedLifecycle, ASquatterOnTheManagementPortIsNeverTakenForOpenVpn) {
    {
        test::LoopbackServer ours;
        if (platform::loopbackListenerPid(ours.port()) != platform::currentProcessId())
            GTEST_SKIP() << "this system does not say who listens on a port (Wine): only the password guards it";
    }
    host.callAndWait("disconnect");
    auto squatted = test::makeTestRuntime([this](RuntimeServices& s) {
        configure(s);
        s.localDataFolder = runtime->services.localDataFolder;
    });
    test::LoopbackServer squatter(squatted->services.managementPort);
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
    test::TestHost second(squatted);
    // A fresh process does not recover the squatter as a tunnel...
    EXPECT_EQ(*second.callAndWait("getStatus").value.asObject()->find("state"), JSValue("disconnected"));
    // ...and a connect does not resolve on its answers: the real OpenVPN cannot take the port.
    const test::Settlement connected =
        second.callAndWait("connectOvpn", args({"p1", "client.ovpn", "alice", "secret"}));
    EXPECT_FALSE(connected.resolved);
    EXPECT_EQ(*second.callAndWait("getStatus").value.asObject()->find("state"), JSValue("disconnected"));
    stop = true;
    liar.join();
}

}  // namespace
}  // namespace varnel
