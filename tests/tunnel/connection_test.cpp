#include "tunnel/connection.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/openvpn_install.h"
#include "support/fake_network.h"
#include "support/test_runtime.h"
#include "support/test_helpers.h"
#include "support/loopback_server.h"
#include "support/openvpn_pair.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "tunnel/openvpn_program.h"
#include "tunnel/management_reader.h"
#include "tunnel/session_recovery.h"
#include "support/storage_fixture.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::rejectionMessage;

// A runtime whose OpenVPN is a file that is never run, with a TAP adapter, a management port nobody
// listens on, and a launcher that refuses.
class ConnectSteps : public ::testing::Test {
protected:
    fs::path profileFolder(const std::string& id) { return fs::path(runtime->dataFolder.root()) / "profiles" / id; }
    void place(const std::string& id, const std::string& name) {
        fs::create_directories(profileFolder(id));
        std::ofstream(profileFolder(id) / name) << "remote 192.0.2.1 1194\n";
    }
    test::Settlement connect(const std::string& id, const std::string& config, const std::string& user = "") {
        return host.callAndWait("connectOvpn", args({JSValue(id), JSValue(config), JSValue(user), "pw"}));
    }
    std::vector<std::string> launchedParameters() {
        std::vector<std::string> all;
        for (const auto& launch : runtime->launcher->launches()) all.push_back(launch.parameters);
        return all;
    }

    std::shared_ptr<test::FakeNetworkAdapters> adapters = std::make_shared<test::FakeNetworkAdapters>();
    platform::PathText openVpn = platform::utf8ToPathText("openvpn");
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([this](RuntimeServices& s) {
        s.adapters = adapters;
        s.discovery.locateOpenVpn = [this](const platform::PathText&) { return openVpn; };
    });
    test::TestHost host{runtime};

    void SetUp() override { runtime->launcher->error = platform::kErrorCancelled; }
};

TEST_F(ConnectSteps, AMissingConfigFallsBackToTheOnlyOvpnFileButNotToUpperCase) {
    EXPECT_EQ(rejectionMessage(connect("none", "client.ovpn")), "VPN config not found for profile: none");
    EXPECT_TRUE(fs::is_directory(profileFolder("none")));  // left behind, empty

    place("upper", "CLIENT.OVPN");
    place("upper", ".ovpn");  // no extension at all
    // A name unlike both, since the Windows file system finds names in any letter case.
    EXPECT_EQ(rejectionMessage(connect("upper", "missing.ovpn")), "VPN config not found for profile: upper");
    EXPECT_TRUE(launchedParameters().empty());

    place("fallback", "other.ovpn");
    EXPECT_EQ(rejectionMessage(connect("fallback", "client.ovpn")), "Administrator access denied. Approve the UAC prompt to connect.");
    ASSERT_EQ(launchedParameters().size(), 1u);
    EXPECT_NE(launchedParameters()[0].find("other.ovpn\""), std::string::npos) << launchedParameters()[0];
}

TEST_F(ConnectSteps, ADeclinedElevationLeavesTheStatusAsItWas) {
    place("p", "client.ovpn");
    EXPECT_EQ(rejectionMessage(connect("p", "client.ovpn", "alice")), "Administrator access denied. Approve the UAC prompt to connect.");
    EXPECT_EQ(*host.callAndWait("getStatus").value.asObject()->find("state"), JSValue("disconnected"));
    EXPECT_FALSE(fs::exists(fs::path(runtime->dataFolder.root()) / "active.txt"));
    // The credentials given were written, and passed to OpenVPN because the file exists.
    EXPECT_NE(launchedParameters().at(0).find("--auth-user-pass"), std::string::npos);

    runtime->launcher->error = 2;
    EXPECT_EQ(rejectionMessage(connect("p", "client.ovpn")), "Failed to launch OpenVPN (error 2)");
}

TEST_F(ConnectSteps, NoOpenVpnAndNoTapAdapterRejectWithTheirSentences) {
    adapters->present = false;
    EXPECT_EQ(rejectionMessage(connect("p", "client.ovpn")),
              "No TAP-Windows network adapter is installed, and it could not be set up automatically. Install the TAP-Windows driver and retry.");

    openVpn.clear();
    EXPECT_EQ(rejectionMessage(connect("p", "client.ovpn")), "OpenVPN not found. Install OpenVPN Community from https://openvpn.net/community-downloads/");
    EXPECT_EQ(rejectionMessage(host.callAndWait("pingHelper")), "OpenVPN not found. Install OpenVPN Community from https://openvpn.net");
    EXPECT_EQ(host.callAndWait("installHelper").value,
              JSValue(JSValueObject{{"installed", JSValue(false)}, {"reachable", JSValue(false)}, {"pong", JSValue("")},
                                    {"hint", JSValue("OpenVPN not found. Install from https://openvpn.net/community-downloads/")}}));
}

TEST_F(ConnectSteps, HelperStatusReportsTheFoundOpenVpn) {
    const std::string path = platform::pathTextToUtf8(openVpn);
    EXPECT_EQ(host.callAndWait("pingHelper").value, JSValue("pong"));
    EXPECT_EQ(host.callAndWait("installHelper").value,
              JSValue(JSValueObject{{"installed", JSValue(true)}, {"reachable", JSValue(true)}, {"pong", JSValue("pong")}, {"hint", JSValue(path)}}));
    const JSValue info = host.callAndWait("getHelperInfo").value;
    EXPECT_EQ(*info.asObject()->find("machService"), JSValue("openvpn.exe"));
    EXPECT_EQ(*info.asObject()->find("plist"), JSValue(path));
    EXPECT_EQ(*info.asObject()->find("installed"), JSValue(true));
    EXPECT_EQ(*info.asObject()->find("reachable"), JSValue(false));
    EXPECT_TRUE(fs::is_directory(fs::u8path(*info.asObject()->find("profilesDir")->asString())));
}

TEST_F(ConnectSteps, DisconnectWithNothingRunningResolvesDisconnected) {
    EXPECT_EQ(host.callAndWait("disconnect").value, JSValue(JSValueObject{{"state", JSValue("disconnected")}}));
}

TEST(StatusReport, AFreshProcessReportsDisconnectedWithZeroRates) {
    test::TestHost host(test::makeTestRuntime());
    EXPECT_EQ(host.callAndWait("getStatus").value,
              JSValue(JSValueObject{{"state", JSValue("disconnected")}, {"downBps", JSValue(0.0)}, {"upBps", JSValue(0.0)}}));
}

// A scripted OpenVPN answering "state" on the management port, for the recovery query.
class StateQuery : public ::testing::Test {
protected:
    std::string query(const std::vector<std::string>& replies) {
        platform::Socket socket = platform::connectLoopback(server.port());
        test::LoopbackConnection peer = server.accept();
        std::thread answer([&] {
            std::string line;
            for (const std::string& reply : replies) {
                if (!peer.readLine(line)) return;
                peer.send(reply);
            }
        });
        std::string first = QueryManagementState(socket);
        std::string second = replies.size() > 1 ? QueryManagementState(socket) : std::string();
        answer.join();
        return second.empty() ? first : first + "|" + second;
    }
    test::LoopbackServer server;
};

TEST_F(StateQuery, ConnectedLineWithoutPrefixReconnectingAndSilence) {
    EXPECT_EQ(query({"1765000000,CONNECTED,SUCCESS,10.8.0.2,127.0.0.1,1194,,\r\nEND\r\n"}), "connected");
    EXPECT_EQ(query({"1765000000,RECONNECTING,ping-restart,,\r\nEND\r\n"}), "connecting");
    EXPECT_EQ(query({">STATE:1765000000,EXITING,SIGTERM,,\r\n"}), "disconnected");
    EXPECT_EQ(query({""}), "connecting");  // no answer at all
}

TEST(SessionRecovery, ReattachesToAnOpenVpnOnTheManagementPortWithTheSessionsPassword) {
    test::LoopbackServer server;
    // The scripted peer plays a trusted OpenVPN; only its password exchange is checked here.
    auto runtime = test::makeTestRuntime([&](RuntimeServices& s) {
        s.managementPort = server.port();
        s.trustListener = [](std::uint16_t, std::uint32_t) { return true; };
    });
    fs::create_directories(fs::path(runtime->dataFolder.root()));
    std::ofstream(fs::path(runtime->dataFolder.activeRecordFile()), std::ios::binary) << "p7 \r\n";
    std::ofstream(fs::path(runtime->dataFolder.killSwitchRecordFile()), std::ios::binary) << "udp\r\n1194\r\n192.0.2.1\r\n";
    std::ofstream(fs::path(runtime->dataFolder.managementSecretFile()), std::ios::binary) << "0123abcd\n";

    std::thread openvpn([&] {
        test::LoopbackConnection peer = server.accept();
        std::string line;
        peer.send("ENTER PASSWORD:");
        if (!peer.readLine(line) || line != "0123abcd") return;
        peer.send("SUCCESS: password is correct\r\n");
        peer.readLine(line);  // "state"
        peer.send("1765000000,CONNECTED,SUCCESS,10.8.0.2,192.0.2.1,1194,,\r\nEND\r\n");
        while (peer.readLine(line)) {  // the reader's "state on" and "state"
            if (line == "state") peer.send("1765000000,CONNECTED,SUCCESS,,\r\nEND\r\n");
        }
    });
    test::TestHost host(runtime);
    const JSValueObject status = *host.callAndWait("getStatus").value.asObject();
    EXPECT_EQ(*status.find("state"), JSValue("connected"));
    EXPECT_EQ(*status.find("profileId"), JSValue("p7"));
    EXPECT_TRUE(runtime->tunnel->control.sessionActive);
    EXPECT_EQ(runtime->killSwitch->server().protocol, "udp");
    EXPECT_EQ(runtime->killSwitch->server().port, 1194);
    EXPECT_EQ(runtime->killSwitch->server().addresses, "192.0.2.1");
    runtime->tunnel->reader.stop();
    openvpn.join();
}

}  // namespace
}  // namespace varnel
