#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "fake_firewall.h"
#include "platform/service/control_socket.h"
#include "service/serve.h"

namespace varnel::service {
namespace {

using platform::LineEnd;
using platform::ReceivedLine;

void expectReplyFits(const Outcome& outcome) {
    EXPECT_GE(outcome.reply.size(), 2u);
    EXPECT_LE(outcome.reply.size(), kReplyMax);
    EXPECT_EQ(outcome.reply.back(), '\n');
}

TEST(HandleRequest, RunsOneScriptForEachWellFormedCommand) {
    FakeFirewall firewall;
    Outcome outcome = handleRequest({"ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel\r", LineEnd::Line}, firewall);
    EXPECT_EQ(outcome.reply, "OK\n");
    EXPECT_EQ(outcome.log, "ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel");
    ASSERT_EQ(firewall.scripts.size(), 1u);
    EXPECT_NE(firewall.scripts[0].find("ip daddr 192.0.2.7 udp dport 1194 accept"), std::string::npos);

    outcome = handleRequest({"DISABLE", LineEnd::Line}, firewall);
    EXPECT_EQ(outcome.reply, "OK\n");
    EXPECT_EQ(firewall.scripts.back(), "add table inet varnel\ndelete table inet varnel\n");
}

TEST(HandleRequest, RefusesWhatIsNotACompleteWellFormedLineAndTouchesNoRule) {
    const ReceivedLine requests[] = {
        {"ENABLE udp 1194 1 192.0.2.7 /v", LineEnd::Closed},
        {"ENABLE udp 1194 1 192.0.2.7 /v", LineEnd::TimedOut},
        {"", LineEnd::TimedOut},
        {std::string(kRequestLineMax + 1, 'A'), LineEnd::TooLong},
        {"ENABLE udp 1194 1 192.0.2.7", LineEnd::Line},
        {std::string("DISABLE\0", 8), LineEnd::Line},
        {"\x01\x02\x03\xff", LineEnd::Line},
    };
    for (const ReceivedLine& request : requests) {
        FakeFirewall firewall;
        const Outcome outcome = handleRequest(request, firewall);
        EXPECT_TRUE(outcome.reply.starts_with("ERROR: ")) << outcome.reply;
        expectReplyFits(outcome);
        EXPECT_TRUE(firewall.scripts.empty());
        // The log says why and how much, never the bytes themselves.
        EXPECT_EQ(outcome.log.find('\x01'), std::string::npos);
        EXPECT_LT(outcome.log.size(), 80u);
    }
}

TEST(HandleRequest, ReportsAnnftRefusalAsAnError) {
    FakeFirewall firewall;
    firewall.refusal = "Error: Could not process rule: Operation not permitted\nadd table inet varnel\n^^^^^\n";
    const Outcome outcome = handleRequest({"ENABLE any 0 0 none /v", LineEnd::Line}, firewall);
    EXPECT_EQ(outcome.reply, "ERROR: nftables refused the rules\n");
    EXPECT_EQ(outcome.log, "ENABLE any 0 0 none /v failed: Error: Could not process rule: Operation not permitted");
}

TEST(HandleRequest, KeepsTheReplyWithinOneReadEvenForALongProgramPath) {
    FakeFirewall firewall;
    firewall.refusal = std::string(1000, 'x');
    const std::string line = "ENABLE any 0 0 none /" + std::string(3000, 'p');
    expectReplyFits(handleRequest({line, LineEnd::Line}, firewall));
}

TEST(PeerPolicy, AdmitsRootAndTheGroupByPrimaryOrSupplementaryMembership) {
    constexpr std::uint32_t kGroup = 977;
    struct Case {
        platform::PeerCredentials peer;
        bool admitted;
    };
    const Case cases[] = {
        {{0, 0, {}, 1}, true},
        {{0, 100, {5}, 1}, true},
        {{1000, kGroup, {}, 1}, true},
        {{1000, 1000, {27, kGroup}, 1}, true},
        {{1000, 1000, {27, 100}, 1}, false},
        {{65534, 65534, {}, 1}, false},
        {{kGroup, 0, {}, 1}, false},  // a uid that happens to equal the group id is no member
    };
    for (const Case& c : cases) EXPECT_EQ(peerMayCommand(c.peer, kGroup), c.admitted) << c.peer.uid;
    const Outcome refusal = refusePeer({65534, 65534, {}, 4321});
    EXPECT_EQ(refusal.reply, "ERROR: not allowed\n");
    EXPECT_NE(refusal.log.find("65534"), std::string::npos);
}

// The connection's reading on a socket pair: the client end is written by the test.
class ControlConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (client >= 0) ::close(client);
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        server.emplace(fds[0]);
        client = fds[1];
    }
    void TearDown() override {
        if (client >= 0) ::close(client);
    }
    void clientSends(const std::string& bytes) {
        ASSERT_EQ(::write(client, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string clientReads() {
        char buffer[512];
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }

    std::optional<platform::ControlConnection> server;
    int client = -1;
};

TEST_F(ControlConnectionTest, EndsAtTheFirstLineFeedAndLeavesWhatFollows) {
    clientSends("DISABLE\r\nENABLE any 0 0 none /v\n");
    const ReceivedLine line = server->receiveLine(kRequestLineMax, 10000);
    EXPECT_EQ(line.end, LineEnd::Line);
    EXPECT_EQ(line.bytes, "DISABLE\r");
    server->send("OK\n");
    EXPECT_EQ(clientReads(), "OK\n");
}

TEST_F(ControlConnectionTest, TellsAClosedHalfLineFromAnOverlongOne) {
    clientSends("ENABLE udp 1194");
    ::shutdown(client, SHUT_WR);
    ReceivedLine line = server->receiveLine(kRequestLineMax, 10000);
    EXPECT_EQ(line.end, LineEnd::Closed);
    EXPECT_EQ(line.bytes, "ENABLE udp 1194");

    SetUp();
    clientSends(std::string(kRequestLineMax, 'A') + "\n");
    EXPECT_EQ(server->receiveLine(kRequestLineMax, 10000).end, LineEnd::Line);
    SetUp();
    clientSends(std::string(kRequestLineMax + 1, 'A') + "\n");
    EXPECT_EQ(server->receiveLine(kRequestLineMax, 10000).end, LineEnd::TooLong);
    SetUp();
    clientSends(std::string(3 * kRequestLineMax, 'A'));
    EXPECT_EQ(server->receiveLine(kRequestLineMax, 10000).end, LineEnd::TooLong);
}

TEST_F(ControlConnectionTest, GivesUpOnAClientThatStopsSendingBeforeTheLineEnds) {
    clientSends("DISAB");
    const ReceivedLine line = server->receiveLine(kRequestLineMax, 50);
    EXPECT_EQ(line.end, LineEnd::TimedOut);
    EXPECT_EQ(line.bytes, "DISAB");
}

TEST_F(ControlConnectionTest, KnowsWhoConnected) {
    const std::optional<platform::PeerCredentials> peer = server->peer();
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(peer->uid, ::geteuid());
    EXPECT_EQ(peer->gid, ::getegid());
    EXPECT_EQ(peer->pid, ::getpid());
}

}  // namespace
}  // namespace varnel::service
