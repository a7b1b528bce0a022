#include "tunnel/management_client.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_runtime.h"
#include "support/killswitch_service_double.h"
#include "support/loopback_server.h"
#include "support/wait_until.h"
#include "tunnel/management_reader.h"

namespace varnel {
namespace {

using test::waitUntil;

TEST(StateParsing, ReportsAndReplyLinesYieldTheirStateName) {
    const std::pair<std::string, std::optional<std::string>> reports[] = {
        {">STATE:1700000000,CONNECTED,SUCCESS,10.8.0.2,203.0.113.5,1194,,\r\n", "CONNECTED"},
        {">STATE:1700000000,CONNECTED\r\n", "CONNECTED"},  // two fields: the line end is not part of the name
        {">STATE:1700000000,RECONNECTING,ping-restart,,\n", "RECONNECTING"},
        {">STATE:no comma\r\n", std::nullopt},
        {"STATE:1,CONNECTED,\n", std::nullopt},
        {">INFO:OpenVPN Management Interface\r\n", std::nullopt},
    };
    for (const auto& [line, name] : reports) EXPECT_EQ(stateNameOfReport(line), name) << line;

    const std::pair<std::string, std::optional<std::string>> replies[] = {
        {"1700000000,CONNECTED,SUCCESS,10.8.0.2,127.0.0.1,1194,,\r\n", "CONNECTED"},
        {"17,WAIT\n", "WAIT"},
        {"END\r\n", std::nullopt},
        {"SUCCESS: real-time state notification set to ON\r\n", std::nullopt},
        {",CONNECTED,\n", std::nullopt},
        {"12a,CONNECTED\n", std::nullopt},
    };
    for (const auto& [line, name] : replies) EXPECT_EQ(stateNameOfReply(line), name) << line;
}

TEST(StateParsing, OnlyExactUpperCaseNamesMap) {
    const std::pair<const char*, const char*> names[] = {
        {"CONNECTED", "connected"}, {"CONNECTING", "connecting"}, {"WAIT", "connecting"},     {"AUTH", "connecting"},
        {"GET_CONFIG", "connecting"}, {"ASSIGN_IP", "connecting"}, {"ADD_ROUTES", "connecting"}, {"RECONNECTING", "connecting"},
        {"DISCONNECTED", "disconnected"}, {"EXITING", "disconnected"}, {"RESOLVE", nullptr}, {"TCP_CONNECT", nullptr},
        {"connected", nullptr}, {"CONNECTED ", nullptr}, {"", nullptr},
    };
    for (const auto& [name, word] : names) {
        const char* mapped = MapOpenVpnState(name);
        EXPECT_EQ(mapped ? std::string(mapped) : "none", word ? std::string(word) : "none") << name;
    }
}

TEST(StateParsing, ConnectedClearsTheMessageOtherStatesKeepIt) {
    TunnelControl tunnel;
    tunnel.state.message = "earlier failure";
    StateLineParser(tunnel, ">STATE:1,EXITING,SIGTERM,,\r\n");
    EXPECT_EQ(tunnel.state.status, "disconnected");
    EXPECT_EQ(tunnel.state.message, "earlier failure");
    StateLineParser(tunnel, ">STATE:1,TCP_CONNECT,,\r\n");
    EXPECT_EQ(tunnel.state.status, "disconnected");
    StateLineParser(tunnel, ">STATE:1,CONNECTED,SUCCESS,,\r\n");
    EXPECT_EQ(tunnel.state.status, "connected");
    EXPECT_EQ(tunnel.state.message, "");
}

// A scripted management interface on loopback, and a reader attached to it as a connect does.
class ManagementReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto socket = std::make_shared<platform::Socket>(ManagementConnect(server.port()));
        ASSERT_TRUE(socket->valid());
        connection = std::make_unique<test::LoopbackConnection>(server.accept());
        {
            std::lock_guard lock(runtime->tunnel->control.lock);
            runtime->tunnel->control.state.status = "connecting";
            runtime->tunnel->control.state.managementSocket = socket;
        }
        ASSERT_TRUE(startManagementReader(*runtime->tunnel, socket));
    }
    void TearDown() override { runtime->tunnel->reader.stop(); }

    std::string status() {
        std::lock_guard lock(runtime->tunnel->control.lock);
        return runtime->tunnel->control.state.status;
    }
    std::string message() {
        std::lock_guard lock(runtime->tunnel->control.lock);
        return runtime->tunnel->control.state.message;
    }
    void expectCommands(std::initializer_list<const char*> commands) {
        for (const char* expected : commands) {
            std::string line;
            ASSERT_TRUE(connection->readLine(line));
            EXPECT_EQ(line, expected);
        }
    }

    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime([this](RuntimeServices& s) {
        s.killSwitchChannel = service.channel();
        s.executablePath = platform::widenBytes("/opt/Varnel VPN/varnel");
    });
    test::LoopbackServer server;
    std::unique_ptr<test::LoopbackConnection> connection;
};

TEST_F(ManagementReaderTest, AsksForReportsThenTheCurrentStateAndTakesTheReply) {
    expectCommands({"state on", "state"});
    connection->send(">INFO:OpenVPN Management Interface Version 5\r\nSUCCESS: real-time state notification set to ON\r\n");
    connection->send("1765000000,CONNECTED,SUCCESS,10.8.0.6,127.0.0.1,1194,,,\r\nEND\r\n");
    EXPECT_TRUE(waitUntil([&] { return status() == "connected"; }));
    // Later real-time reports still win.
    connection->send(">STATE:1765000001,RECONNECTING,ping-restart,,,,,\r\n");
    EXPECT_TRUE(waitUntil([&] { return status() == "connecting"; }));
}

TEST_F(ManagementReaderTest, FollowsReportsSplitAcrossReads) {
    expectCommands({"state on", "state"});
    connection->send("END\r\n>STATE:1765000000,CONNEC");
    connection->send("TED,SUCCESS,10.8.0.6,,\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(status(), "connecting");  // no line feed yet
    connection->send("\n>STATE:1765000002,EXITING,SIGTERM,,\r\n>STATE:1765000003,CONNECTED,SUCCESS\r\n");
    EXPECT_TRUE(waitUntil([&] { return status() == "connected"; }));
}

TEST_F(ManagementReaderTest, ADropWithoutALogSaysConnectionClosed) {
    expectCommands({"state on", "state"});
    connection->close();
    EXPECT_TRUE(waitUntil([&] { return status() == "disconnected"; }));
    EXPECT_EQ(message(), "Connection closed");
    // The reader let go of the connection when it ended.
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard lock(runtime->tunnel->control.lock);
        return runtime->tunnel->control.state.managementSocket == nullptr;
    }));
}

TEST_F(ManagementReaderTest, ADropIsExplainedByTheLog) {
    const auto log = runtime->temp.path() / "openvpn.log";
    std::ofstream(log, std::ios::binary) << "2026 TLS: Initial packet\r\n2026 AUTH: Received control message: AUTH_FAILED\r\n";
    {
        std::lock_guard lock(runtime->tunnel->control.lock);
        runtime->tunnel->control.state.logPath = log.native();
    }
    expectCommands({"state on", "state"});
    connection->close();
    EXPECT_TRUE(waitUntil([&] { return status() == "disconnected"; }));
    EXPECT_EQ(message(), "Authentication failed - check your username and password.");
}

TEST_F(ManagementReaderTest, ADropOfAWantedSessionEngagesTheKillSwitchAgain) {
    runtime->killSwitch->setEnabled(true, [] { return false; });
    runtime->tunnel->control.sessionActive = true;
    runtime->killSwitch->setServerProtocolAndPort("udp", 1194);
    runtime->killSwitch->recordServerAddresses("192.0.2.7", "udp", 1194);
    expectCommands({"state on", "state"});
    connection->close();
    EXPECT_TRUE(waitUntil([&] { return !service.received().empty(); }));
    EXPECT_EQ(service.received(), std::vector<std::string>{"ENABLE udp 1194 1 192.0.2.7 /opt/Varnel VPN/varnel\n"});
}

TEST_F(ManagementReaderTest, ADropOfASessionNoLongerWantedLeavesTheKillSwitchAlone) {
    runtime->killSwitch->setEnabled(true, [] { return false; });
    runtime->tunnel->control.sessionActive = false;  // the user disconnected
    runtime->killSwitch->recordServerAddresses("192.0.2.7", "udp", 1194);
    expectCommands({"state on", "state"});
    connection->close();
    EXPECT_TRUE(waitUntil([&] { return status() == "disconnected"; }));
    runtime->tunnel->reader.stop();  // the reader has finished whatever it was going to send
    EXPECT_TRUE(service.received().empty());
}

TEST_F(ManagementReaderTest, ADropAfterDisconnectChangesNothing) {
    expectCommands({"state on", "state"});
    {
        std::lock_guard lock(runtime->tunnel->control.lock);
        runtime->tunnel->control.state.status = "disconnected";
    }
    connection->close();
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard lock(runtime->tunnel->control.lock);
        return runtime->tunnel->control.state.managementSocket == nullptr;
    }));
    EXPECT_EQ(message(), "");
}

TEST_F(ManagementReaderTest, OnlyOneReaderAtATimeAndItStopsWhenAsked) {
    expectCommands({"state on", "state"});
    EXPECT_FALSE(startManagementReader(*runtime->tunnel, std::make_shared<platform::Socket>()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(runtime->tunnel->reader.busy()) << status();
    runtime->tunnel->reader.stop();  // ends within the reader's one-second wait
    EXPECT_FALSE(runtime->tunnel->reader.busy());
    std::string line;
    EXPECT_FALSE(connection->readLine(line));  // the connection was closed by the reader
    EXPECT_EQ(status(), "connecting");        // a requested stop is no drop
}

}  // namespace
}  // namespace varnel
