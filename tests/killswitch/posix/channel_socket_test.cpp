#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/killswitch_channel.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

// Bound but not listening, as a crashed service leaves it, the socket is absent (one open); with its backlog full, busy.
TEST(KillSwitchChannel, ASocketFileWithoutAListenerIsAbsentAndAFullBacklogBusyUntilFreed) {
    test::TempDir folder;
    const std::string path = (folder.path() / "killswitch.sock").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const auto* target = reinterpret_cast<const sockaddr*>(&address);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(listener, target, sizeof address), 0);
    std::vector<int> busy;
    const auto record = [&](int opens) { busy.push_back(opens); };
    auto reply = platform::exchangeKillSwitchBytes(path, "DISABLE\n", record);
    EXPECT_TRUE(reply.bytes.empty() && reply.opens == 1 && busy.empty()) << reply.opens << " opens";

    // Connections nobody accepts fill the backlog; the last one, refused, is closed with them.
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<int> queued;
    do queued.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    while (::connect(queued.back(), target, sizeof address) == 0);
    reply = platform::exchangeKillSwitchBytes(path, "DISABLE\n", record);
    const auto attempts = static_cast<std::size_t>(platform::kKillSwitchOpenAttempts);
    EXPECT_TRUE(reply.bytes.empty() && busy.size() == attempts && busy.back() == platform::kKillSwitchOpenAttempts) << reply.opens << " opens";

    // Freed during the first wait: the next open is taken and answered.
    std::thread service;
    reply = platform::exchangeKillSwitchBytes(path, "DISABLE\n", [&](int opens) {
        for (std::size_t i = 1; opens == 1 && i < queued.size(); ++i) ::close(::accept(listener, nullptr, nullptr));
        if (opens == 1) service = std::thread([&] {
            const int fd = ::accept(listener, nullptr, nullptr);
            char heard[16];
            EXPECT_EQ(std::string(heard, static_cast<std::size_t>(std::max<ssize_t>(::recv(fd, heard, sizeof heard, 0), 0))), "DISABLE\n");
            ::send(fd, "OK\n", 3, MSG_NOSIGNAL);
            ::close(fd);
        });
    });
    ::shutdown(listener, SHUT_RDWR);  // ends the wait of a service whose client never came
    if (service.joinable()) service.join();
    EXPECT_EQ(reply.bytes + std::to_string(reply.opens), "OK\n2");
    for (const int fd : queued) ::close(fd);
    ::close(listener);
}

}  // namespace
}  // namespace varnel
