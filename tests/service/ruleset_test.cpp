#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fake_firewall.h"
#include "service/ruleset.h"
#include "service/status.h"

namespace varnel::service {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> result;
    for (const std::string& line : lines(text))
        if (line.starts_with(prefix)) result.push_back(line);
    return result;
}

EnableCommand enable(Transport transport, std::uint16_t port, std::vector<std::string> addresses) {
    EnableCommand command;
    command.transport = transport;
    command.port = port;
    command.addresses = std::move(addresses);
    command.program = "/usr/bin/varnel";
    return command;
}

TEST(EnableScript, KeepsTheTableAndRefillsItsChainsInOneScript) {
    const std::vector<std::string> script = lines(enableScript(enable(Transport::Udp, 1194, {"192.0.2.7"})));
    // Table and chains are only added (a no-op when they are there), never deleted: deleting
    // them even inside one transaction let packets out while the block was replaced.
    for (const std::string& line : script) {
        EXPECT_FALSE(line.starts_with("delete")) << line;
        EXPECT_NE(line.find("inet varnel"), std::string::npos) << "touches another table: " << line;
    }
    EXPECT_EQ(script.front(), "add table inet varnel");
    EXPECT_EQ(linesStartingWith(enableScript(enable(Transport::Udp, 1194, {})), "flush chain ").size(), 3u);
}

TEST(EnableScript, LetsOutOnlyLoopbackTunnelDhcpAndEachServerAddress) {
    struct Case {
        Transport transport;
        std::uint16_t port;
        std::vector<std::string> addresses;
        std::vector<std::string> serverRules;
    };
    const Case cases[] = {
        {Transport::Udp, 1194, {"192.0.2.7", "198.51.100.1"},
         {R"(add rule inet varnel output ip daddr 192.0.2.7 udp dport 1194 accept comment "server 192.0.2.7 udp port 1194")",
          R"(add rule inet varnel output ip daddr 198.51.100.1 udp dport 1194 accept comment "server 198.51.100.1 udp port 1194")"}},
        {Transport::Tcp, 0, {"192.0.2.7"},
         {R"(add rule inet varnel output ip daddr 192.0.2.7 meta l4proto tcp accept comment "server 192.0.2.7 tcp every port")"}},
        {Transport::Any, 443, {"192.0.2.7"},
         {R"(add rule inet varnel output ip daddr 192.0.2.7 meta l4proto { tcp, udp } th dport 443 accept comment "server 192.0.2.7 any protocol port 443")"}},
        {Transport::Any, 0, {"192.0.2.7"},
         {R"(add rule inet varnel output ip daddr 192.0.2.7 accept comment "server 192.0.2.7 any protocol every port")"}},
        {Transport::Udp, 1194, {}, {}},
    };
    for (const Case& c : cases) {
        const std::string script = enableScript(enable(c.transport, c.port, c.addresses));
        std::vector<std::string> expected = {
            R"(add rule inet varnel output oifname "lo" accept comment "loopback")",
            R"(add rule inet varnel output oifname "tun*" accept comment "tunnel interfaces tun*")",
            R"(add rule inet varnel output meta nfproto ipv4 udp sport 68 udp dport 67 accept comment "DHCP")",
        };
        expected.insert(expected.end(), c.serverRules.begin(), c.serverRules.end());
        EXPECT_EQ(linesStartingWith(script, "add rule inet varnel output "), expected);
    }
}

TEST(DisableScript, DeletesOnlyOurTableAndNeverFailsForAMissingOne) {
    EXPECT_EQ(disableScript(), "add table inet varnel\ndelete table inet varnel\n");
}

// As nft 1.0.6 lists the table that enableScript made, plus a rule someone added by hand.
const char* const kListing = R"(table inet varnel {
	chain output {
		type filter hook output priority filter; policy drop;
		oifname "lo" accept comment "loopback"
		oifname "tun*" accept comment "tunnel interfaces tun*"
		ip daddr 192.0.2.7 udp dport 1194 accept comment "server 192.0.2.7 udp port 1194"
		tcp dport 22 accept
	}

	chain input {
		type filter hook input priority filter; policy drop;
		iifname "lo" accept comment "loopback"
	}

	chain forward {
		type filter hook forward priority filter; policy drop;
	}
}
)";

TEST(RulesetStatus, DescribesWhatEachChainLetsThrough) {
    const RulesetSummary summary = summarizeListing(kListing);
    EXPECT_TRUE(summary.blocking());
    EXPECT_EQ(describeRuleset(summary),
              "Kill switch block: on\n"
              "  output (hook output, policy drop) allows: loopback; tunnel interfaces tun*; server 192.0.2.7 udp port "
              "1194; tcp dport 22 accept\n"
              "  input (hook input, policy drop) allows: loopback\n"
              "  forward (hook forward, policy drop) allows: nothing\n");
}

TEST(RulesetStatus, IsOffWithoutTheTableOrWithoutADroppingOutputChain) {
    EXPECT_FALSE(summarizeListing("").blocking());
    EXPECT_EQ(describeRuleset(summarizeListing("")), "Kill switch block: off (no table inet varnel)\n");

    std::string accepting = kListing;
    accepting.replace(accepting.find("policy drop"), 11, "policy accept");
    const RulesetSummary summary = summarizeListing(accepting);
    EXPECT_TRUE(summary.tablePresent);
    EXPECT_FALSE(summary.blocking());
    EXPECT_TRUE(describeRuleset(summary).starts_with("Kill switch block: off (table inet varnel has no output chain"));
}

TEST(ReadRuleset, ListsOurTableOnlyWhenItIsThere) {
    FakeFirewall firewall;
    firewall.tables = "table inet filter\ntable inet varnel-old\n";
    firewall.table = kListing;
    RulesetSummary summary;
    std::string error;
    ASSERT_TRUE(readRuleset(firewall, summary, error));
    EXPECT_FALSE(summary.tablePresent);
    EXPECT_EQ(firewall.scripts, std::vector<std::string>{"list tables inet\n"});

    firewall.tables += "table inet varnel\n";
    ASSERT_TRUE(readRuleset(firewall, summary, error));
    EXPECT_TRUE(summary.blocking());
    EXPECT_EQ(firewall.scripts.back(), "list table inet varnel\n");

    firewall.refusal = "Error: Operation not permitted";
    EXPECT_FALSE(readRuleset(firewall, summary, error));
    EXPECT_EQ(error, firewall.refusal);
}

}  // namespace
}  // namespace varnel::service
