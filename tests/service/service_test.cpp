#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <tuple>

#include "platform/service/control_socket.h"
#include "service/command.h"
#include "service/ruleset.h"
#include "service/serve.h"

// The kill-switch service's logic; its socket and real rules are the namespace test's.

namespace varnel::service {
namespace {

using platform::LineEnd;

// What the client composes, read back as "TRANSPORT PORT FLAG ADDRESS... |PROGRAM|".
TEST(ParseCommand, TakesWhatTheClientComposesAndNothingElse) {
    EXPECT_TRUE(std::holds_alternative<DisableCommand>(parseCommand("DISABLE")) && std::holds_alternative<DisableCommand>(parseCommand("DISABLE\r")));
    const std::pair<std::string, std::string> cases[] = {
        {"ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel", "udp 1194 1 192.0.2.7 |/usr/bin/varnel|"},
        {"ENABLE tcp-client 443 0 192.0.2.7,198.51.100.1 /opt/Varnel VPN/b\xC3\xA4se/varnel app",
         "tcp 443 0 192.0.2.7 198.51.100.1 |/opt/Varnel VPN/b\xC3\xA4se/varnel app|"},
        {"ENABLE any 0 0 none /v", "any 0 0 |/v|"}, {"ENABLE udp4 65535 1 0.0.0.0,255.255.255.255 /v\r", "udp 65535 1 0.0.0.0 255.255.255.255 |/v|"},
        {"ENABLE tcp6-server -0 1 10.0.0.1,10.0.0.1 /v", "tcp 0 1 10.0.0.1 |/v|"}, {"ENABLE tcp 80 1 10.0.0.1 a  b ", "tcp 80 1 10.0.0.1 |a  b |"},
    };
    for (const auto& [line, expected] : cases) {
        const Command command = parseCommand(line);
        const auto* enable = std::get_if<EnableCommand>(&command);
        ASSERT_NE(enable, nullptr) << line << ": " << std::get<CommandError>(command).reason;
        std::string fields = std::string(enable->transport == Transport::Udp ? "udp" : enable->transport == Transport::Tcp ? "tcp" : "any") + " " +
                             std::to_string(enable->port) + (enable->sessionWanted ? " 1 " : " 0 ");
        for (const std::string& address : enable->addresses) fields += address + " ";
        EXPECT_EQ(fields + "|" + enable->program + "|", expected) << line;
    }
    // Every line that is not exactly a command is refused with a reason.
    const std::string whole[] = {"", "disable", "DISABLE ", " DISABLE", "DISABLE now", "DISABLE\r\r", "ENABLE", "ENABLE ", "\xff\xfe\x01\x02"};
    const std::string afterEnable[] = {
        "udp 1194 1 192.0.2.7", "udp 1194 1 192.0.2.7 ", " udp 1194 1 192.0.2.7 /v", "UDP 1194 1 192.0.2.7 /v", "sctp 1194 1 192.0.2.7 /v",
        "udp 65536 1 192.0.2.7 /v", "udp -1 1 192.0.2.7 /v", "udp +1 1 192.0.2.7 /v", "udp 99999999999999999999 1 192.0.2.7 /v", "udp 0x10 1 192.0.2.7 /v",
        "udp 1194 2 192.0.2.7 /v", "udp 1194 yes 192.0.2.7 /v", "udp 1194 1 192.0.2 /v", "udp 1194 1 192.0.2.7.1 /v", "udp 1194 1 192.0.2.256 /v",
        "udp 1194 1 192.0.02.7 /v", "udp 1194 1 192.0.2.7, /v", "udp 1194 1 ,192.0.2.7 /v", "udp 1194 1 192.0.2.7,,10.0.0.1 /v",
        "udp 1194 1 2001:db8::1 /v", "udp 1194 1 NONE /v", "udp 1194 1 example.com /v",
        // Control characters in the program: a NUL, a terminal escape, a carriage return, DEL.
        std::string("udp 1194 1 192.0.2.7 /v\0x", 25), "udp 1194 1 192.0.2.7 /v\x1b[2J", "udp 1194 1 192.0.2.7 /v\r/w", "udp 1194 1 192.0.2.7 /v\x7f",
    };
    std::vector<std::string> malformed(std::begin(whole), std::end(whole));
    for (const std::string& rest : afterEnable) malformed.push_back("ENABLE " + rest);
    for (const std::string& line : malformed) {
        const Command command = parseCommand(line);
        EXPECT_TRUE(std::holds_alternative<CommandError>(command) && !std::get<CommandError>(command).reason.empty()) << "accepted: " << line;
    }
}

std::vector<std::string> linesOf(const std::string& text, const std::string& prefix = "") {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(prefix)) result.push_back(line);
    return result;
}

std::string enableScriptFor(const char* line) { return enableScript(std::get<EnableCommand>(parseCommand(line))); }

TEST(Rules, EnableRefillsOurTableInOneScriptAndLetsOutOnlyLoopbackTunnelsDhcpAndEachServer) {
    // Table and chains are only added, never deleted: a deletion even in one transaction let packets out.
    const std::string script = enableScriptFor("ENABLE udp 1194 1 192.0.2.7 /v");
    EXPECT_TRUE(script.starts_with("add table inet varnel\n"));
    for (const std::string& line : linesOf(script))
        EXPECT_TRUE(!line.starts_with("delete") && line.find("inet varnel") != std::string::npos) << "another table, or a deletion: " << line;
    EXPECT_EQ(linesOf(script, "flush chain ").size(), 3u);

    const std::string rule = "add rule inet varnel output ";
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"ENABLE udp 1194 1 192.0.2.7,198.51.100.1 /v",
         {R"(ip daddr 192.0.2.7 udp dport 1194 accept comment "server 192.0.2.7 udp port 1194")",
          R"(ip daddr 198.51.100.1 udp dport 1194 accept comment "server 198.51.100.1 udp port 1194")"}},
        {"ENABLE tcp 0 1 192.0.2.7 /v", {R"(ip daddr 192.0.2.7 meta l4proto tcp accept comment "server 192.0.2.7 tcp every port")"}},
        {"ENABLE any 443 1 192.0.2.7 /v",
         {R"(ip daddr 192.0.2.7 meta l4proto { tcp, udp } th dport 443 accept comment "server 192.0.2.7 any protocol port 443")"}},
        {"ENABLE any 0 0 192.0.2.7 /v", {R"(ip daddr 192.0.2.7 accept comment "server 192.0.2.7 any protocol every port")"}},
        {"ENABLE udp 1194 0 none /v", {}},
    };
    for (const auto& [line, servers] : cases) {
        std::vector<std::string> expected = {rule + R"(oifname "lo" accept comment "loopback")", rule + R"(oifname "tun*" accept comment "tunnel interfaces tun*")",
                                             rule + R"(meta nfproto ipv4 udp sport 68 udp dport 67 accept comment "DHCP")"};
        for (const std::string& server : servers) expected.push_back(rule + server);
        EXPECT_EQ(linesOf(enableScriptFor(line), rule), expected);
    }
    // Disabling deletes only our table, and never fails for a missing one.
    EXPECT_EQ(disableScript(), "add table inet varnel\ndelete table inet varnel\n");
}

// A firewall that records the scripts it is given.
struct FakeFirewall : Firewall {
    bool run(const std::string& script, std::string& output, std::string& error) override {
        scripts.push_back(script);
        output.clear();
        error = refusal;
        return refusal.empty();
    }
    std::vector<std::string> scripts;
    std::string refusal;  // when set, every script is refused with it
};

// On and off as read from nft are the namespace test's; an output chain that accepts is no block.
TEST(RulesetStatus, AnOutputChainThatAcceptsIsOff) {
    const std::string listing = "table inet varnel {\n\tchain output {\n\t\ttype filter hook output priority filter; policy accept;\n\t}\n}\n";
    EXPECT_TRUE(describeRuleset(summarizeListing(listing)).starts_with("Kill switch block: off (table inet varnel has no output chain")) << listing;
}

// A well-formed line runs one script; one cut short or malformed is refused and runs none.
TEST(HandleRequest, LogsWhatBecameOfALineWithoutItsUntrustedBytes) {
    FakeFirewall firewall;
    EXPECT_EQ(handleRequest({"ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel\r", LineEnd::Line}, firewall).log, "ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel");
    EXPECT_EQ(firewall.scripts, std::vector<std::string>{enableScriptFor("ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel")});
    // A line cut short by a close, a time-out or its length is refused like a malformed one.
    for (const platform::ReceivedLine& request : {platform::ReceivedLine{"ENABLE udp 1194 1 192.0.2.7 /v", LineEnd::Closed},
                                                  {"DISABLE", LineEnd::TimedOut}, {std::string(kRequestLineMax + 1, 'A'), LineEnd::TooLong},
                                                  {"\x01\x02\x03\xff", LineEnd::Line}}) {
        const Outcome refused = handleRequest(request, firewall);
        EXPECT_TRUE(refused.reply.starts_with("ERROR: ") && refused.log.find('\x01') == std::string::npos && refused.log.size() < 80) << refused.log;
    }
    EXPECT_EQ(firewall.scripts.size(), 1u);
    // nft's first line is enough to say why.
    firewall.refusal = "Error: Could not process rule: Operation not permitted\nadd table inet varnel\n^^^^^\n";
    const Outcome outcome = handleRequest({"ENABLE any 0 0 none /v", LineEnd::Line}, firewall);
    EXPECT_EQ(outcome.reply + outcome.log, "ERROR: nftables refused the rules\nENABLE any 0 0 none /v failed: Error: Could not process rule: Operation not permitted");
}

TEST(PeerPolicy, AdmitsRootAndTheGroupByPrimaryOrSupplementaryMembership) {
    const std::pair<platform::PeerCredentials, bool> cases[] = {
        {{0, 0, {}, 1}, true},       {{0, 100, {5}, 1}, true},  {{1000, 977, {}, 1}, true},   {{1000, 1000, {27, 977}, 1}, true},
        {{1000, 1000, {27, 100}, 1}, false}, {{65534, 65534, {}, 1}, false}, {{977, 0, {}, 1}, false},  // a uid equal to the group's id is no member
    };
    for (const auto& [peer, admitted] : cases) EXPECT_EQ(peerMayCommand(peer, 977), admitted) << peer.uid;
    const Outcome refusal = refusePeer({65534, 65534, {}, 4321});
    EXPECT_TRUE(refusal.reply == "ERROR: not allowed\n" && refusal.log.find("65534") != std::string::npos) << refusal.log;
}

// A client's line on a socket pair: up to the first line feed, or why it ended short.
TEST(ControlConnection, ReadsToTheFirstLineFeedAndTellsAClosedHalfLineATimeOutAndAnOverlongOne) {
    const std::string full(kRequestLineMax, 'A');
    const std::tuple<std::string, bool, const char*, LineEnd> cases[] = {
        {"DISABLE\r\nENABLE any 0 0 none /v\n", false, "DISABLE\r", LineEnd::Line}, {full + "\n", false, full.c_str(), LineEnd::Line},
        {"ENABLE udp 1194", true, "ENABLE udp 1194", LineEnd::Closed}, {"DISAB", false, "DISAB", LineEnd::TimedOut},
        {full + "A\n", false, nullptr, LineEnd::TooLong}, {full + full + full, false, nullptr, LineEnd::TooLong},
    };
    for (const auto& [sent, close, bytes, end] : cases) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        platform::ControlConnection server(fds[0]);
        ASSERT_EQ(::write(fds[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
        if (close) ::shutdown(fds[1], SHUT_WR);
        const platform::ReceivedLine line = server.receiveLine(kRequestLineMax, 200);
        EXPECT_EQ(line.end, end) << sent.substr(0, 20);
        if (bytes) { EXPECT_EQ(line.bytes, bytes); }
        ::close(fds[1]);
    }
}

}  // namespace
}  // namespace varnel::service
