#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "killswitch/rules.h"
#include "platform/files.h"
#include "support/isolated_runtime.h"
#include "support/killswitch_service_double.h"

namespace varnel {
namespace {

using killswitch::applyKillSwitch;
using killswitch::composeEnableCommand;
using Lines = std::vector<std::string>;

// A program path with spaces and a non-ASCII letter, as an installation folder may have.
const std::string kProgram = "/opt/Varnel VPN/b\xC3\xA4se/varnel app";

class KillSwitchRules : public ::testing::Test {
protected:
    KillSwitchRules() {
        runtime->killSwitchChannel = service.channel();
        runtime->executablePath = platform::utf8ToPathText(kProgram);
    }
    void setServer(std::string protocol, std::int32_t port, std::string addresses) {
        std::lock_guard guard(runtime->tunnel.lock);
        runtime->tunnel.state.serverProtocol = std::move(protocol);
        runtime->tunnel.state.serverPort = port;
        runtime->tunnel.state.serverAddress = std::move(addresses);
    }

    test::KillSwitchServiceDouble service;
    std::shared_ptr<test::IsolatedRuntime> runtime = test::makeIsolatedRuntime();
};

TEST_F(KillSwitchRules, EnableCarriesTheServerAndTheProgramPathByteForByte) {
    setServer("tcp", 443, "192.0.2.7,198.51.100.1");
    applyKillSwitch(*runtime, true);
    applyKillSwitch(*runtime, false);
    EXPECT_EQ(service.received(), (Lines{"ENABLE tcp 443 1 192.0.2.7,198.51.100.1 " + kProgram + "\n",
                                         "ENABLE tcp 443 0 192.0.2.7,198.51.100.1 " + kProgram + "\n"}));
}

TEST_F(KillSwitchRules, WithoutAnAddressOnlyTheEndOfASessionIsSent) {
    setServer("", 0, "");
    applyKillSwitch(*runtime, true);
    EXPECT_TRUE(service.received().empty());
    applyKillSwitch(*runtime, false);
    EXPECT_EQ(service.received(), Lines{"ENABLE any 0 0 none " + kProgram + "\n"});
}

TEST(EnableCommand, FillsEmptyFieldsAndKeepsSignedPorts) {
    struct Case {
        std::string protocol;
        std::int32_t port;
        bool wanted;
        std::string addresses, program, expected;
    };
    const Case cases[] = {
        {"udp", 1194, true, "203.0.113.9", "C:\\Program Files\\Varnel\\varnel.exe",
         "ENABLE udp 1194 1 203.0.113.9 C:\\Program Files\\Varnel\\varnel.exe"},
        {"", 1194, true, "203.0.113.9", "/p", "ENABLE any 1194 1 203.0.113.9 /p"},
        {"tcp-client", -5, false, "", "/p", "ENABLE tcp-client -5 0 none /p"},
        {"udp", -2147483647 - 1, true, "1.2.3.4", "", "ENABLE udp -2147483648 1 1.2.3.4 "},
    };
    for (const auto& c : cases) EXPECT_EQ(composeEnableCommand(c.protocol, c.port, c.wanted, c.addresses, c.program), c.expected);
}

}  // namespace
}  // namespace varnel
