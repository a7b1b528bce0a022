#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/test_runtime.h"
#include "support/test_helpers.h"
#include "support/openvpn_pair.h"
#include "support/wait_until.h"
#include "tunnel/log_classifier.h"
#include "tunnel/management_client.h"
#include "tunnel/management_reader.h"
#include "tunnel/openvpn_program.h"

// A real OpenVPN client, launched the way the system launches it, against a real OpenVPN server on
// loopback.

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::waitUntil;

class RealOpenVpn : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::OpenVpnServer::unavailableReason().empty()) return;
        server = new test::OpenVpnServer();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (const std::string reason = test::OpenVpnServer::unavailableReason(); !reason.empty()) GTEST_SKIP() << reason;
    }
    void TearDown() override {
        runtime->tunnel->reader.stop();
        // Ask the client to end, as a disconnect does, and wait for it.
        platform::Socket socket = ManagementConnect(runtime->services.managementPort);
        ManagementSend(socket, "signal SIGTERM");
        if (client.valid()) {
            EXPECT_TRUE(platform::waitForExit(client, 20000));
        }
    }

    // Writes the profile and its credentials and launches OpenVPN with the system's command line.
    void launch(const std::string& password) {
        const fs::path folder = runtime->temp.path() / "profile";
        fs::create_directories(folder);
        std::ofstream(folder / "client.ovpn") << server->clientProfile();
        std::ofstream(folder / "auth.txt") << test::kVpnUser << "\n" << password << "\n";
        log = folder / "openvpn.log";
        const std::string parameters = openVpnParameters((folder / "client.ovpn").native(), (folder / "auth.txt").native(),
                                                         log.native(), runtime->services.managementPort, {}, false);
        platform::LaunchResult launched = runtime->services.launcher->launchElevated(fs::u8path(test::OpenVpnServer::openVpnProgram()).native(), parameters);
        ASSERT_EQ(launched.error, 0u);
        client = std::move(launched.process);
    }

    static inline test::OpenVpnServer* server = nullptr;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime(test::useRealOpenVpn);
    platform::ProcessHandle client;
    fs::path log;
};

TEST_F(RealOpenVpn, ReaderSeesConnectedEvenWhenTheTunnelCameUpBeforeItAttached) {
    launch(test::kVpnPassword);
    ASSERT_TRUE(waitUntil([&] { return test::fileBytes(log).find("Initialization Sequence Completed") != std::string::npos; }))
        << test::fileBytes(log);

    // Attach only now, as a connect or a recovery does, after OpenVPN already reported CONNECTED.
    auto socket = std::make_shared<platform::Socket>(ManagementConnect(runtime->services.managementPort));
    ASSERT_TRUE(socket->valid());
    {
        std::lock_guard lock(runtime->tunnel->control.lock);
        runtime->tunnel->control.state.status = "connecting";
        runtime->tunnel->control.state.logPath = log.native();
        runtime->tunnel->control.state.managementSocket = socket;
    }
    ASSERT_TRUE(startManagementReader(*runtime->tunnel, socket));
    EXPECT_TRUE(waitUntil([&] { return runtime->tunnel->statusWord() == "connected"; }));
}

TEST_F(RealOpenVpn, AWrongPasswordEndsInTheAuthenticationSentence) {
    launch("wrong password");
    ASSERT_TRUE(platform::waitForExit(client, 60000)) << test::fileBytes(log);
    EXPECT_EQ(ClassifyOpenVpnLog(log.native()), "Authentication failed - check your username and password.") << test::fileBytes(log);
}

}  // namespace
}  // namespace varnel
