#include <gtest/gtest.h>

#include <fstream>

#include "platform/process_list.h"
#include "support/test_runtime.h"
#include "support/test_helpers.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"
#include "support/test_host.h"
#include "support/wait_until.h"

// The whole connection through the module, with a real OpenVPN client launched by the system
// against a real OpenVPN server on loopback.

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::waitUntil;

const char* const kRuleMessages[] = {
    "Could not resolve the VPN server address. Check your internet connection.",
    "Could not reach the VPN server. It may be offline or blocked.",
    "No response from the VPN server. Check the server address, protocol (UDP/TCP) and port.",
};

class Lifecycle : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (test::OpenVpnServer::unavailableReason().empty()) server = new test::OpenVpnServer();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (const std::string reason = test::OpenVpnServer::unavailableReason(); !reason.empty()) GTEST_SKIP() << reason;
        saveProfile("p1", server->clientProfile());
    }
    void TearDown() override {
        if (!server) return;
        host.callAndWait("disconnect");
        EXPECT_EQ(runningOpenVpnClients(), 0u);
    }

    void saveProfile(const std::string& id, const std::string& config) {
        ASSERT_TRUE(host.callAndWait("saveOvpnProfile", args({JSValue(id), JSValue(config), "client.ovpn", ""})).resolved);
    }
    test::Settlement connect(const std::string& id, const std::string& password = test::kVpnPassword) {
        return host.callAndWait("connectOvpn", args({JSValue(id), "client.ovpn", test::kVpnUser, JSValue(password)}));
    }
    JSValueObject status() { return *host.callAndWait("getStatus").value.asObject(); }
    std::string field(const JSValueObject& o, const char* key) {
        const JSValue* v = o.find(key);
        return v && v->asString() ? *v->asString() : std::string();
    }
    bool waitForState(const std::string& state) {
        return waitUntil([&] { return field(status(), "state") == state; });
    }
    static std::size_t runningOpenVpnClients() {
        std::size_t count = 0;
        for (const auto& entry : platform::listProcesses()) count += entry.exeName == "openvpn";
        return count;
    }

    static inline test::OpenVpnServer* server = nullptr;
    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([this](RuntimeServices& s) {
        test::useRealOpenVpn(s);
        s.killSwitchChannel = service.channel();
    });
    test::TestHost host{runtime};
};

TEST_F(Lifecycle, ConnectsReportsAndDisconnects) {
    const test::Settlement connected = connect("p1");
    ASSERT_TRUE(connected.resolved) << field(*connected.value.asObject(), "message");
    EXPECT_EQ(connected.value, JSValue(JSValueObject{{"state", JSValue("connecting")}}));
    ASSERT_TRUE(waitForState("connected")) << field(status(), "message");

    const JSValueObject s = status();
    EXPECT_EQ(field(s, "profileId"), "p1");
    ASSERT_NE(s.find("pid"), nullptr);
    const auto pid = static_cast<std::uint32_t>(*s.find("pid")->asInt64());
    EXPECT_EQ(s.find("message"), nullptr);
    EXPECT_EQ(s.find("downBps")->type(), JSValueType::Double);
    EXPECT_EQ(*host.callAndWait("getHelperInfo").value.asObject()->find("reachable"), JSValue(true));
    EXPECT_TRUE(fs::exists(runtime->temp.path() / "VarnelMac" / "active.txt"));

    EXPECT_EQ(host.callAndWait("disconnect").value, JSValue(JSValueObject{{"state", JSValue("disconnected")}}));
    platform::ProcessHandle gone = platform::openProcess(pid);
    EXPECT_TRUE(!gone.valid() || platform::waitForExit(gone, 5000));
    EXPECT_FALSE(fs::exists(runtime->temp.path() / "VarnelMac" / "active.txt"));
    EXPECT_FALSE(fs::exists(runtime->temp.path() / "VarnelMac" / "killswitch.txt"));
    EXPECT_EQ(status(), (JSValueObject{{"state", JSValue("disconnected")}, {"downBps", JSValue(0.0)}, {"upBps", JSValue(0.0)}}));
    EXPECT_EQ(*host.callAndWait("getHelperInfo").value.asObject()->find("reachable"), JSValue(false));
}

TEST_F(Lifecycle, AWrongPasswordEndsInTheAuthenticationSentence) {
    const std::string expected = "Authentication failed - check your username and password.";
    const test::Settlement connected = connect("p1", "wrong");
    if (!connected.resolved) {
        EXPECT_EQ(field(*connected.value.asObject(), "message"), expected);
    } else {
        EXPECT_TRUE(waitUntil([&] { return field(status(), "message") == expected; })) << field(status(), "message");
    }
    EXPECT_EQ(field(status(), "state"), "disconnected");
}

TEST_F(Lifecycle, AServerPortWhereNothingAnswersEndsInAClassifiedSentence) {
    std::string config = server->clientProfile("connect-retry-max 1\n");
    const std::string remote = "remote 127.0.0.1 " + std::to_string(server->port());
    config.replace(config.find(remote), remote.size(), "remote 127.0.0.1 " + std::to_string(test::freeLoopbackPort()));
    saveProfile("dead", config);

    const test::Settlement connected = connect("dead");
    std::string message = connected.resolved ? std::string() : field(*connected.value.asObject(), "message");
    if (connected.resolved) {
        waitUntil([&] { return !field(status(), "message").empty(); }, std::chrono::seconds(60));
        message = field(status(), "message");
    }
    EXPECT_NE(std::find(std::begin(kRuleMessages), std::end(kRuleMessages), message), std::end(kRuleMessages)) << message;
}

TEST_F(Lifecycle, ASecondConnectEndsTheFirstOpenVpnBeforeStartingTheNext) {
    ASSERT_TRUE(connect("p1").resolved);
    ASSERT_TRUE(waitForState("connected"));
    const auto first = static_cast<std::uint32_t>(*status().find("pid")->asInt64());
    platform::ProcessHandle firstProcess = platform::openProcess(first);

    ASSERT_TRUE(connect("p1").resolved);
    EXPECT_TRUE(!firstProcess.valid() || platform::waitForExit(firstProcess, 0)) << "the first OpenVPN still runs";
    ASSERT_TRUE(waitForState("connected"));
    EXPECT_NE(static_cast<std::uint32_t>(*status().find("pid")->asInt64()), first);
    EXPECT_EQ(runningOpenVpnClients(), 1u);
}

TEST_F(Lifecycle, KillSwitchOnSendsRulesAroundTheSession) {
    host.callAndWait("setKillSwitchEnabled", args({true}));
    const std::string program = platform::pathTextToUtf8(runtime->services.executablePath);
    const std::string port = std::to_string(server->port());
    ASSERT_TRUE(connect("p1").resolved);
    // Before OpenVPN started: DISABLE, then the server's rules with the session flag.
    EXPECT_EQ(service.received(), (std::vector<std::string>{"DISABLE\n", "ENABLE tcp-client " + port + " 1 127.0.0.1 " + program + "\n"}));
    ASSERT_TRUE(waitForState("connected"));
    host.callAndWait("disconnect");
    EXPECT_EQ(service.received().back(), "ENABLE tcp-client " + port + " 0 127.0.0.1 " + program + "\n");

    host.callAndWait("setKillSwitchEnabled", args({false}));
    ASSERT_TRUE(connect("p1").resolved);
    ASSERT_TRUE(waitForState("connected"));
    host.callAndWait("disconnect");
    EXPECT_EQ(service.received().back(), "DISABLE\n");
}

}  // namespace
}  // namespace varnel
