#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/killswitch_channel.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

// What a crashed service leaves behind: its socket file, with nobody listening. That is an absent
// service, tried once, not a busy one worth waiting for.
TEST(KillSwitchChannel, ASocketFileWithoutAListenerIsAnAbsentService) {
    test::TempDir folder;
    const std::string path = (folder.path() / "killswitch.sock").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    int busy = 0;
    const auto reply = platform::exchangeKillSwitchBytes(path, "DISABLE\n", [&](int) { ++busy; });
    EXPECT_TRUE(reply.bytes.empty() && reply.opens == 1 && busy == 0) << reply.opens << " opens, " << busy << " found it busy";
}

}  // namespace
}  // namespace varnel
