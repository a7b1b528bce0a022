#include <gtest/gtest.h>

#include <fstream>

#include "platform/openvpn_install.h"
#include "support/fake_network.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"
#include "support/test_helpers.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"
#include "support/test_host.h"
#include "support/test_programs.h"
#include "support/storage_fixture.h"
#include "support/wait_until.h"
#include "tunnel/management_reader.h"

// The connection's lifecycle on both builds, with a stand-in that takes OpenVPN's place (its command
// line, its management interface and its log): under Wine there is no real OpenVPN to run.

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::rejectionMessage;
using test::waitUntil;

std::string field(const JSValueObject& o, const char* key) {
    const JSValue* v = o.find(key);
    return v && v->asString() ? *v->asString() : std::string();
}

class StandInLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        // The stand-in, as OpenVPN's program in the application folder, where the system looks first.
        fs::create_directories(app);
        fs::copy_file(fs::u8path(test::testProgramPath("openvpn_standin")), app / platform::PathText(platform::kOpenVpnProgramName));
    }
    void TearDown() override { host.callAndWait("disconnect"); }

    void configure(RuntimeServices& s) {
        test::useRealOpenVpn(s);
        s.executablePath = (app / "varnel.exe").native();
        s.adapters = adapters;
        s.managementPort = port;
        s.killSwitchChannel = service.channel();
    }
    void saveProfile(const std::string& id, const std::string& behaviour) {
        const std::string config = "standin-behaviour " + behaviour + "\nremote 127.0.0.1 1194\nproto udp\n";
        ASSERT_TRUE(host.callAndWait("saveOvpnProfile", args({JSValue(id), JSValue(config), "client.ovpn", ""})).resolved);
    }
    test::Settlement connect(const std::string& id, const std::string& password = "secret") {
        return host.callAndWait("connectOvpn", args({JSValue(id), "client.ovpn", "alice", JSValue(password)}));
    }
    JSValueObject status(test::TestHost& h) { return *h.callAndWait("getStatus").value.asObject(); }
    bool waitForState(test::TestHost& h, const std::string& state) {
        return waitUntil([&] { return field(status(h), "state") == state; });
    }
    fs::path dataRoot() { return fs::path(runtime->dataFolder.root()); }

    test::TempDir appFolder;
    const fs::path app = appFolder.path() / "app";
    std::shared_ptr<test::FakeNetworkAdapters> adapters = std::make_shared<test::FakeNetworkAdapters>();
    std::uint16_t port = test::freeLoopbackPort();
    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([this](RuntimeServices& s) { configure(s); });
    test::TestHost host{runtime};
};

TEST_F(StandInLifecycle, ConnectsIsRecoveredByANewProcessAndDisconnects) {
    saveProfile("p1", "connect");
    EXPECT_EQ(connect("p1").value, JSValue(JSValueObject{{"state", JSValue("connecting")}}));
    ASSERT_TRUE(waitForState(host, "connected")) << field(status(host), "message");
    const JSValueObject s = status(host);
    EXPECT_EQ(field(s, "profileId"), "p1");
    ASSERT_NE(s.find("pid"), nullptr);
    EXPECT_EQ(*host.callAndWait("getHelperInfo").value.asObject()->find("reachable"), JSValue(true));
    EXPECT_TRUE(fs::exists(dataRoot() / "active.txt"));

    // A process started afresh, with the same data folder, finds the session on its first status.
    {
        auto later = test::makeTestRuntime([this](RuntimeServices& s) {
            configure(s);
            s.localDataFolder = runtime->services.localDataFolder;
            s.credentials = runtime->services.credentials;
        });
        // As if this process had ended: its management connection closes, and OpenVPN (which serves
        // one management client at a time) is free for the next.
        runtime->tunnel->reader.stop();
        {
            std::lock_guard lock(runtime->tunnel->control.lock);
            runtime->tunnel->control.state.managementSocket.reset();
        }
        test::TestHost second(later);
        const JSValueObject recovered = status(second);
        EXPECT_EQ(field(recovered, "profileId"), "p1");
        EXPECT_NE(field(recovered, "state"), "disconnected");
        EXPECT_EQ(recovered.find("pid") ? *recovered.find("pid") : JSValue(), *s.find("pid"));
        EXPECT_EQ(second.callAndWait("disconnect").value, JSValue(JSValueObject{{"state", JSValue("disconnected")}}));
    }
    EXPECT_FALSE(fs::exists(dataRoot() / "active.txt"));
    EXPECT_FALSE(fs::exists(dataRoot() / "killswitch.txt"));
    platform::ProcessHandle gone = platform::openProcess(static_cast<std::uint32_t>(*s.find("pid")->asInt64()));
    EXPECT_TRUE(!gone.valid() || platform::waitForExit(gone, 10000));
}

TEST_F(StandInLifecycle, FailuresReachTheInterfaceAsPlainSentences) {
    saveProfile("auth", "auth-failed");
    const test::Settlement auth = connect("auth", "wrong");
    const std::string expected = "Authentication failed - check your username and password.";
    if (auth.resolved) {
        EXPECT_TRUE(waitUntil([&] { return field(status(host), "message") == expected; }));
    } else {
        EXPECT_EQ(rejectionMessage(auth), expected);
    }
    EXPECT_EQ(field(status(host), "state"), "disconnected");

    saveProfile("options", "exit-at-once");
    EXPECT_EQ(rejectionMessage(connect("options")),
              "VPN configuration error: Options error: Unrecognized option or missing parameter(s) in x.ovpn:1: bogus (2.6.14)");
    EXPECT_EQ(field(status(host), "message"),
              "VPN configuration error: Options error: Unrecognized option or missing parameter(s) in x.ovpn:1: bogus (2.6.14)");
}

TEST_F(StandInLifecycle, KillSwitchRulesGoBeforeTheLaunchAndAfterTheDisconnect) {
    saveProfile("ks", "connect");
    host.callAndWait("setKillSwitchEnabled", args({true}));
    ASSERT_TRUE(connect("ks").resolved);
    const std::string program = platform::pathTextToUtf8(runtime->services.executablePath);
    EXPECT_EQ(service.received(), (std::vector<std::string>{"DISABLE\n", "ENABLE udp 1194 1 127.0.0.1 " + program + "\n"}));
    ASSERT_TRUE(waitForState(host, "connected"));
    host.callAndWait("disconnect");
    EXPECT_EQ(service.received().back(), "ENABLE udp 1194 0 127.0.0.1 " + program + "\n");
}

}  // namespace
}  // namespace varnel
