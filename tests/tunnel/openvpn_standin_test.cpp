// The OpenVPN stand-in that the lifecycle tests launch where no real OpenVPN runs: started the way
// the system starts OpenVPN, it must answer the management commands and leave the logs that the
// system's classification expects.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/openvpn_install.h"
#include "platform/process.h"
#include "platform/process_list.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"
#include "support/test_programs.h"
#include "support/wait_until.h"
#include "tunnel/log_classifier.h"
#include "tunnel/management_client.h"
#include "tunnel/openvpn_program.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::waitUntil;

constexpr std::uint32_t kExitLimitMs = 20000;

std::uint16_t freePort() { return test::LoopbackServer().port(); }

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What the management interface sends until `until` appears or it closes (bounded, never hangs).
std::string readUntil(const platform::Socket& socket, const std::string& until) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (text.find(until) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (platform::waitReadable(socket, 250) != platform::WaitResult::Readable) continue;
        char buffer[2048];
        const long n = platform::receiveSome(socket, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    return lines;
}

class OpenVpnStandin : public ::testing::Test {
protected:
    ~OpenVpnStandin() override {
        std::uint32_t code = 0;
        if (process.valid() && platform::queryExitCode(process, code) && code == platform::kStillActive) {
            platform::terminateProcess(platform::processId(process));
            platform::waitForExit(process, kExitLimitMs);
        }
    }

    void writeConfig(const std::string& text) { std::ofstream(config, std::ios::binary) << "client\ndev null\n" << text; }
    void writeAuth(const std::string& password) { std::ofstream(auth, std::ios::binary) << "user\n" << password << "\n"; }

    std::string parameters(bool withAuth, bool blockIpv6 = false) const {
        return openVpnParameters(config.native(), withAuth ? auth.native() : platform::PathText(), log.native(), port, blockIpv6);
    }

    void launch(const std::string& parameterLine) {
        platform::LaunchResult started =
            platform::systemProcessLauncher()->launchElevated(fs::u8path(test::testProgramPath("openvpn_standin")).native(), parameterLine);
        ASSERT_EQ(started.error, 0u);
        ASSERT_TRUE(started.process.valid());
        process = std::move(started.process);
    }

    // The exit code, once the stand-in has ended by itself.
    std::optional<std::uint32_t> exitCode() {
        std::uint32_t code = 0;
        if (!platform::waitForExit(process, kExitLimitMs) || !platform::queryExitCode(process, code)) return std::nullopt;
        return code;
    }

    platform::Socket connectManagement() {
        platform::Socket socket;
        waitUntil([&] { return (socket = ManagementConnect(port)).valid(); });
        return socket;
    }

    std::string logText() const { return platform::readWholeFile(log.native()).value_or(""); }

    test::TempDir temp;
    fs::path config = temp.path() / "my profile.ovpn";
    fs::path auth = temp.path() / "auth.txt";
    fs::path log = temp.path() / "openvpn.log";
    std::uint16_t port = freePort();
    platform::ProcessHandle process;
};

TEST_F(OpenVpnStandin, ReportsItsProgressAnswersTheStateQueryAndEndsOnSigterm) {
    writeConfig("remote 192.0.2.7 1195 udp\n");
    ASSERT_NO_FATAL_FAILURE(launch(parameters(false)));

    // A probe that connects and leaves (as a disconnect does) must not keep the next client out.
    ASSERT_TRUE(connectManagement().valid());
    const platform::Socket socket = connectManagement();
    ASSERT_TRUE(socket.valid());
    EXPECT_EQ(readUntil(socket, "\r\n"), ">INFO:OpenVPN Management Interface Version 5 -- type 'help' for more info\r\n");

    ManagementSend(socket, "state on");
    const std::string connectedTail = ",CONNECTED,SUCCESS,10.8.0.2,192.0.2.7,1195,,\r\n";
    const std::string reports = readUntil(socket, connectedTail);
    ASSERT_EQ(reports.rfind("SUCCESS: real-time state notification set to ON\r\n", 0), 0u) << reports;
    EXPECT_TRUE(endsWith(reports, connectedTail)) << reports;
    std::vector<std::string> names;
    for (const std::string& line : linesOf(reports))
        if (const auto name = stateNameOfReport(line)) names.emplace_back(*name);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "CONNECTED");
    for (std::size_t i = 0; i + 1 < names.size(); ++i) EXPECT_STREQ(MapOpenVpnState(names[i]), "connecting") << names[i];

    ManagementSend(socket, "state");
    const std::vector<std::string> reply = linesOf(readUntil(socket, "END\r\n"));
    ASSERT_EQ(reply.size(), 2u);
    EXPECT_EQ(stateNameOfReply(reply[0]), "CONNECTED");
    EXPECT_TRUE(endsWith(reply[0], connectedTail)) << reply[0];
    EXPECT_EQ(reply[1], "END\r\n");

    ManagementSend(socket, "help");
    EXPECT_EQ(readUntil(socket, "\r\n"), "ERROR: unknown command, enter 'help' for more options\r\n");

    ManagementSend(socket, "signal SIGTERM");
    const std::string last = readUntil(socket, "no end marker: read until the stand-in closes");
    EXPECT_EQ(last.rfind("SUCCESS: signal SIGTERM thrown\r\n", 0), 0u) << last;
    EXPECT_EQ(stateNameOfReport(linesOf(last).back()), "EXITING");
    EXPECT_EQ(exitCode(), 0u);

    const std::string text = logText();
    EXPECT_NE(text.find("Initialization Sequence Completed\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Command line: " + parameters(false) + "\n"), std::string::npos) << text;
    EXPECT_TRUE(endsWith(ClassifyOpenVpnLog(log.native()), " SIGTERM[hard,] received, process exiting")) << text;
}

// A reader slowed down (as under Wine) asks for reports after the connect would have completed; the
// stand-in holds its last step for it, so the lifecycle tests still see "connected".
TEST_F(OpenVpnStandin, AReaderThatAsksLateStillGetsTheConnectedReport) {
    writeConfig("");
    ASSERT_NO_FATAL_FAILURE(launch(parameters(false)));
    const platform::Socket socket = connectManagement();
    ASSERT_TRUE(socket.valid());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    ManagementSend(socket, "state on");
    const std::string reports = readUntil(socket, ",,\r\n");
    EXPECT_NE(reports.find(",CONNECTED,SUCCESS,10.8.0.2,127.0.0.1,1194,,\r\n"), std::string::npos) << reports;
    ManagementSend(socket, "signal SIGTERM");
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(OpenVpnStandin, AWrongPasswordFailsAuthenticationWithoutEverListening) {
    writeConfig("standin-behaviour auth-failed\n");
    writeAuth("wrong");
    ASSERT_NO_FATAL_FAILURE(launch(parameters(true)));
    EXPECT_EQ(exitCode(), 1u);
    EXPECT_EQ(ClassifyOpenVpnLog(log.native()), "Authentication failed - check your username and password.");
    EXPECT_EQ(logText().find("MANAGEMENT:"), std::string::npos) << logText();
}

TEST_F(OpenVpnStandin, TheRightPasswordConnectsWithTheLongestCommandLine) {
    writeConfig("standin-behaviour auth-failed\r\n");
    writeAuth("secret\r");
    ASSERT_NO_FATAL_FAILURE(launch(parameters(true, true)));
    const platform::Socket socket = connectManagement();
    ASSERT_TRUE(socket.valid());
    ManagementSend(socket, "signal SIGTERM");
    EXPECT_NE(readUntil(socket, "thrown\r\n").find("SUCCESS: signal SIGTERM thrown\r\n"), std::string::npos);
    EXPECT_EQ(exitCode(), 0u);
    EXPECT_NE(logText().find("Command line: " + parameters(true, true) + "\n"), std::string::npos) << logText();
}

TEST_F(OpenVpnStandin, StartFailuresEndAtOnceWithAClassifiedOptionsError) {
    const bool linuxOpenVpn = platform::openVpnDriverOption().empty();
    struct Case {
        const char* name;
        std::string configText;  // empty: no config file at all
        std::string extraOptions;
        std::string expected;  // the classified text starts with this
    };
    const std::string prefix = "VPN configuration error: Options error: ";
    std::vector<Case> cases = {
        {"exit-at-once", "standin-behaviour exit-at-once\n", "",
         prefix + "Unrecognized option or missing parameter(s) in x.ovpn:1: bogus (2.6.14)"},
        {"unknown option", "\n", " --bogus-option 1", prefix + "Unrecognized option or missing parameter(s) in [CMD-LINE]:1: bogus-option (2.6.14)"},
        {"missing parameter", "\n", " --verb", prefix + "Unrecognized option or missing parameter(s) in [CMD-LINE]:1: verb (2.6.14)"},
        {"no config file", "", "", prefix + "In [CMD-LINE]:1: Error opening configuration file: "},
        {"unknown scenario", "standin-behaviour dance\n", "", prefix + "Unrecognized option or missing parameter(s) in "},
    };
    if (linuxOpenVpn)
        cases.push_back({"driver choice on Linux", "\n", " --windows-driver tap-windows6",
                         prefix + "Unrecognized option or missing parameter(s) in [CMD-LINE]:1: windows-driver (2.6.14)"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(config);
        fs::remove(log);
        if (!c.configText.empty()) writeConfig(c.configText);
        ASSERT_NO_FATAL_FAILURE(launch(parameters(false) + c.extraOptions));
        EXPECT_EQ(exitCode(), 1u);
        const std::string classified = ClassifyOpenVpnLog(log.native());
        EXPECT_EQ(classified.rfind(c.expected, 0), 0u) << classified;
        EXPECT_NE(logText().find("Use --help for more information.\n"), std::string::npos) << logText();
    }
}

TEST_F(OpenVpnStandin, WithoutManagementItLogsAndRunsOnUntilEnded) {
    writeConfig("standin-behaviour no-management\nremote vpn.example 443\n");
    ASSERT_NO_FATAL_FAILURE(launch(parameters(false)));
    ASSERT_TRUE(waitUntil([&] { return logText().find("UDP link remote") != std::string::npos; })) << logText();

    std::uint32_t code = 0;
    ASSERT_TRUE(platform::queryExitCode(process, code));
    EXPECT_EQ(code, platform::kStillActive);
    EXPECT_FALSE(ManagementConnect(port).valid());
    EXPECT_TRUE(endsWith(ClassifyOpenVpnLog(log.native()), " UDP link remote: [AF_INET]vpn.example:443"));

    EXPECT_TRUE(platform::terminateProcess(platform::processId(process)));
    EXPECT_TRUE(platform::waitForExit(process, kExitLimitMs));
}

}  // namespace
}  // namespace varnel
