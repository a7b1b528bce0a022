#include "tunnel/log_classifier.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace varnel {
namespace {

constexpr const char* kAuth = "Authentication failed - check your username and password.";
constexpr const char* kAdapter = "No network adapter available. Reinstall the VPN (TAP) driver and retry.";
constexpr const char* kResolve = "Could not resolve the VPN server address. Check your internet connection.";
constexpr const char* kReach = "Could not reach the VPN server. It may be offline or blocked.";
constexpr const char* kNoResponse = "No response from the VPN server. Check the server address, protocol (UDP/TCP) and port.";
constexpr const char* kTls = "Secure handshake with the VPN server failed (TLS error).";

struct Case {
    const char* what;
    const char* log;
    std::string expected;
};

const Case kCases[] = {
    {"auth on the third line beats a later TLS error",
     "2026 OpenVPN starting\n2026 TCP connected\n2026 AUTH: Received control message: AUTH_FAILED\n2026 TLS Error: bad\n", kAuth},
    {"rule order within one line", "TLS Error: Connection refused (ECONNREFUSED)\n", kReach},
    {"a local netlink failure is not the server's", "sitnl_send: rtnl: generic error (-101): Network is unreachable\nAUTH: Received control message: AUTH_FAILED\n", kAuth},
    {"the first hitting line decides, not the first rule", "TLS handshake failed\nAUTH_FAILED\n", kTls},
    {"tap adapters in use", "All TAP-Windows adapters on this system are currently in use.\n", kAdapter},
    {"wintun needs system privileges", "Wintun requires SYSTEM privileges\n", kAdapter},
    {"wintun without privileges falls through", "wintun: cannot resolve host address: x\n", kResolve},
    {"ipv4/ipv6", "Could not determine IPv4/IPv6 protocol\n", kResolve},
    {"timeout", "Server poll timeout, restarting\n", kNoResponse},
    {"exiting after retries", "All connections have been connect-retry-max times unsuccessful, exiting\n", kNoResponse},
    {"options error keeps its line whole", "2026-12-06 10:00:00 Options error: Unrecognized option or missing parameter(s) in x.ovpn:3: bogus\r\n",
     "VPN configuration error: 2026-12-06 10:00:00 Options error: Unrecognized option or missing parameter(s) in x.ovpn:3: bogus"},
    {"last line with error, fatal or exiting, case kept", "a\nSIGTERM received, Exiting\nsomething FATAL happened\nplain last\n",
     "something FATAL happened"},
    {"otherwise the last non-empty line", "first\nsecond\r\n\r\n\n", "second"},
    {"CR LF and blank lines never become the result", "\r\n\r\nonly line\r\r\n\r\n", "only line"},
    {"lower-casing is ASCII only", "AUTH_FAILED\xC3\x84\n", kAuth},
    {"empty log", "", ""},
    {"only blank lines", "\r\n\n\r\n", ""},
    {"no final line feed", "Connection timed out", kReach},
};

TEST(LogClassifier, RulesInOrderThenTheTellingLine) {
    for (const Case& c : kCases) EXPECT_EQ(classifyLogText(c.log), c.expected) << c.what;
}

TEST(LogClassifier, ReadsTheLogFileAndAnswersEmptyWithoutOne) {
    test::TempDir dir;
    const auto path = dir.path() / "openvpn.log";
    EXPECT_EQ(ClassifyOpenVpnLog(path.native()), "");
    std::ofstream(path, std::ios::binary) << "line one\nAUTH_FAILED\n";
    EXPECT_EQ(ClassifyOpenVpnLog(path.native()), kAuth);
}

}  // namespace
}  // namespace varnel
