#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_server.h"
#include "support/storage_fixture.h"
#include "support/test_host.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"
#include "tunnel/lifecycle_order.h"
#include "tunnel/management_client.h"
#include "tunnel/management_reader.h"
#include "tunnel/tunnel.h"

namespace varnel {
namespace {

TEST(LifecycleOrder, OperationsRunOneAtATimeInTheOrderTheyWereAskedFor) {
    auto order = std::make_shared<LifecycleOrder>();
    std::vector<std::shared_ptr<LifecycleOrder::Ticket>> tickets;
    for (int i = 0; i < 8; ++i) tickets.push_back(order->take());
    // Ticket 3's worker never starts: its turn is given up, not waited for for ever.
    tickets[3].reset();
    std::mutex mutex;
    std::vector<int> ran;
    std::atomic<int> running{0};
    bool overlapped = false;
    std::vector<std::thread> workers;
    // Started in reverse, so only the order itself can put them right.
    for (int i = 7; i >= 0; --i) {
        if (i == 3) continue;
        workers.emplace_back([&, i, ticket = std::move(tickets[i])]() mutable {
            ticket->wait();
            if (running.fetch_add(1) != 0) overlapped = true;
            {
                std::lock_guard lock(mutex);
                ran.push_back(i);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            running.fetch_sub(1);
            ticket.reset();
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 4, 5, 6, 7}));
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(order->idle());
}

TEST(ConnectNames, IdsAndFileNamesThatAreNotOnePlainComponentAreRefusedBeforeAnythingRuns) {
    test::StorageFixture f;
    const std::pair<std::string, std::string> cases[] = {
        {"", "Invalid profile id: "},
        {"../../../outside", "Invalid profile id: ../../../outside"},
        {"a\"b", "Invalid profile id: a\"b"},
        {"x\ny", "Invalid profile id: x\ny"},
    };
    for (const auto& [id, message] : cases)
        EXPECT_EQ(test::rejectionMessage(f.host.callAndWait("connectOvpn", test::args({JSValue(id), "c.ovpn", "", ""}))), message);
    const std::pair<std::string, std::string> files[] = {
        {"", "Invalid file name: "},
        {"c.ovpn\" --writepid \"injected.pid", "Invalid file name: c.ovpn\" --writepid \"injected.pid"},
        {"../p2/c.ovpn", "Invalid file name: ../p2/c.ovpn"},
    };
    for (const auto& [name, message] : files)
        EXPECT_EQ(test::rejectionMessage(f.host.callAndWait("connectOvpn", test::args({"p1", JSValue(name), "", ""}))), message);
    EXPECT_TRUE(f.runtime->launcher->launches().empty());
}

// The password exchange against a scripted management interface.
class ManagementLoginTest : public ::testing::Test {
protected:
    bool login(const std::string& greeting, const std::vector<std::string>& answers, const std::string& password) {
        platform::Socket socket = ManagementConnect(server.port());
        test::LoopbackConnection peer = server.accept();
        std::thread script([&] {
            peer.send(greeting);
            std::string line;
            for (const std::string& answer : answers) {
                if (!peer.readLine(line)) return;
                peer.send(answer);
            }
        });
        const bool ok = ManagementLogin(socket, password);
        script.join();
        return ok;
    }
    test::LoopbackServer server;
};

TEST_F(ManagementLoginTest, OnlyTheRightPasswordToARealPromptLogsIn) {
    EXPECT_TRUE(login("ENTER PASSWORD:", {"SUCCESS: password is correct\r\n"}, "s3cret"));
    EXPECT_FALSE(login("ENTER PASSWORD:", {"ENTER PASSWORD:"}, "wrong"));
    // A listener that never asks for a password is not an OpenVPN started by us.
    EXPECT_FALSE(login(">INFO:OpenVPN Management Interface Version 5\r\n", {}, "s3cret"));
    EXPECT_FALSE(login(std::string(300, 'x'), {}, "s3cret"));
}

TEST(ManagementReaderLimit, AnEndlessLineIsADropNotAGrowingBuffer) {
    test::LoopbackServer server;
    auto runtime = test::makeTestRuntime();
    Tunnel& tunnel = *runtime->tunnel;
    auto socket = std::make_shared<platform::Socket>(ManagementConnect(server.port()));
    test::LoopbackConnection peer = server.accept();
    {
        std::lock_guard lock(tunnel.control.lock);
        tunnel.control.state.status = "connecting";
        tunnel.control.state.managementSocket = socket;
    }
    ASSERT_TRUE(startManagementReader(tunnel, socket));
    const std::string chunk(16 * 1024, 'A');
    for (int i = 0; i < 5; ++i) peer.send(chunk);  // 80 KiB and no line feed
    EXPECT_TRUE(test::waitUntil([&] { return tunnel.statusWord() == "disconnected"; }));
    tunnel.reader.stop();
}

}  // namespace
}  // namespace varnel
