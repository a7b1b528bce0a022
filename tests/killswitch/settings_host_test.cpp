#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/killswitch_channel.h"
#include "support/child_process.h"
#include "support/environment.h"
#include "support/killswitch_service_double.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

// The real host process with the service double on the channel it uses by default (on Linux the
// socket named by VARNEL_KILLSWITCH_SOCKET, which the host inherits).
TEST(KillSwitchSettingsOverStdio, AnswerWithTheSettingAndOnlyTurningOffReachesAnIdleService) {
    test::TempDir folder;
    test::setEnvironmentVariable("VARNEL_KILLSWITCH_SOCKET", (folder.path() / "killswitch.sock").string());
    test::KillSwitchServiceDouble service("OK\n", platform::defaultKillSwitchChannel());

    test::ChildProcess host = test::ChildProcess::start(VARNEL_HOST_EXE, {"host"});
    const std::pair<std::string, std::string> exchanges[] = {
        {R"({"id":1,"method":"setBlockIpv6Enabled","args":[false]})", R"({"id":1,"result":{"enabled":false}})"},
        {R"({"id":2,"method":"setKillSwitchEnabled","args":[true]})", R"({"id":2,"result":{"enabled":true}})"},
        {R"({"id":3,"method":"setKillSwitchEnabled","args":[false]})", R"({"id":3,"result":{"enabled":false}})"},
        {R"({"id":4,"method":"setBlockIpv6Enabled","args":["yes"]})", R"({"id":4,"result":{"enabled":true}})"},
    };
    for (const auto& [request, answer] : exchanges) {
        ASSERT_TRUE(host.writeLine(request));
        std::string line;
        ASSERT_TRUE(host.readLine(line)) << request;
        EXPECT_EQ(line, answer);
    }
    host.closeInput();
    EXPECT_EQ(host.wait(), 0);
    EXPECT_EQ(service.received(), std::vector<std::string>{"DISABLE\n"});
}

}  // namespace
}  // namespace varnel
