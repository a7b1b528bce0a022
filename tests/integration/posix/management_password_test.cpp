#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/socket.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"
#include "support/test_helpers.h"
#include "support/test_host.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"

// A real OpenVPN, connected through the module, and another local user who reaches its management
// port: without the session's password that user can neither read its state nor stop it.

namespace varnel {
namespace {

using test::args;

// In a child running as nobody: connects, answers the prompt with a command, and reports through the
// exit code whether OpenVPN asked for the password again (0) or took anything else (1).
int probeAsNobody(std::uint16_t port) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        platform::Socket socket = platform::connectLoopback(port);
        if (!socket.valid()) ::_exit(3);
        std::string seen;
        char buffer[256];
        auto readSome = [&] {
            if (platform::waitReadable(socket, 2000) != platform::WaitResult::Readable) return false;
            const long n = platform::receiveSome(socket, buffer, sizeof buffer);
            if (n > 0) seen.append(buffer, static_cast<std::size_t>(n));
            return n > 0;
        };
        readSome();
        platform::sendOnce(socket, "signal SIGTERM\n");
        seen.clear();
        readSome();
        ::_exit(seen == "ENTER PASSWORD:" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ManagementPassword, AnotherLocalUserCannotDriveTheRootOpenVpn) {
    if (const std::string reason = test::OpenVpnServer::unavailableReason(); !reason.empty()) GTEST_SKIP() << reason;
    test::OpenVpnServer server;
    test::KillSwitchServiceDouble service;
    auto runtime = test::makeTestRuntime([&](RuntimeServices& s) {
        test::useRealOpenVpn(s);
        s.killSwitchChannel = service.channel();
    });
    test::TestHost host(runtime);
    ASSERT_TRUE(host.callAndWait("saveOvpnProfile", args({"p1", JSValue(server.clientProfile()), "client.ovpn", ""})).resolved);
    ASSERT_TRUE(host.callAndWait("connectOvpn", args({"p1", "client.ovpn", test::kVpnUser, test::kVpnPassword})).resolved);
    ASSERT_TRUE(test::waitUntil([&] { return *host.callAndWait("getStatus").value.asObject()->find("state") == JSValue("connected"); }));

    // The session's own reader holds the one management connection OpenVPN serves; let it go, as
    // when the host has exited, so that the other user is the only client.
    runtime->tunnel->reader.stop();
    EXPECT_EQ(probeAsNobody(runtime->services.managementPort), 0);
    const JSValue pid = *host.callAndWait("getStatus").value.asObject()->find("pid");
    EXPECT_EQ(::kill(static_cast<pid_t>(*pid.asInt64()), 0), 0) << "OpenVPN was stopped by another user";
    EXPECT_EQ(host.callAndWait("disconnect").value, JSValue(JSValueObject{{"state", JSValue("disconnected")}}));
}

}  // namespace
}  // namespace varnel
