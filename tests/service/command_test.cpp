#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/command.h"

namespace varnel::service {
namespace {

using Addresses = std::vector<std::string>;

struct Accepted {
    std::string line;
    Transport transport;
    std::uint16_t port;
    bool wanted;
    Addresses addresses;
    std::string program;
};

class AcceptedEnable : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedEnable, YieldsTheFieldsAsSent) {
    const Accepted& c = GetParam();
    const Command command = parseCommand(c.line);
    const auto* enable = std::get_if<EnableCommand>(&command);
    ASSERT_NE(enable, nullptr) << std::get<CommandError>(command).reason;
    EXPECT_EQ(enable->transport, c.transport);
    EXPECT_EQ(enable->port, c.port);
    EXPECT_EQ(enable->sessionWanted, c.wanted);
    EXPECT_EQ(enable->addresses, c.addresses);
    EXPECT_EQ(enable->program, c.program);
}

// What the client composes: the profile's protocol as it stands, "any" and "none" for unknown
// fields, and a program path that may hold spaces and non-ASCII letters.
INSTANTIATE_TEST_SUITE_P(
    Lines, AcceptedEnable,
    ::testing::Values(
        Accepted{"ENABLE udp 1194 1 192.0.2.7 /usr/bin/varnel", Transport::Udp, 1194, true, {"192.0.2.7"}, "/usr/bin/varnel"},
        Accepted{"ENABLE tcp-client 443 0 192.0.2.7,198.51.100.1 /opt/Varnel VPN/b\xC3\xA4se/varnel app", Transport::Tcp,
                 443, false, {"192.0.2.7", "198.51.100.1"}, "/opt/Varnel VPN/b\xC3\xA4se/varnel app"},
        Accepted{"ENABLE any 0 0 none /v", Transport::Any, 0, false, {}, "/v"},
        Accepted{"ENABLE udp4 65535 1 0.0.0.0,255.255.255.255 /v\r", Transport::Udp, 65535, true,
                 {"0.0.0.0", "255.255.255.255"}, "/v"},
        Accepted{"ENABLE tcp6-server -0 1 10.0.0.1,10.0.0.1 /v", Transport::Tcp, 0, true, {"10.0.0.1"}, "/v"},
        Accepted{"ENABLE tcp 80 1 10.0.0.1 a  b ", Transport::Tcp, 80, true, {"10.0.0.1"}, "a  b "}));

TEST(ParseCommand, DisableIsTheBareWord) {
    EXPECT_TRUE(std::holds_alternative<DisableCommand>(parseCommand("DISABLE")));
    EXPECT_TRUE(std::holds_alternative<DisableCommand>(parseCommand("DISABLE\r")));
}

TEST(ParseCommand, RefusesEveryLineThatIsNotExactlyACommand) {
    const std::string malformed[] = {
        "",
        "disable",
        "DISABLE ",
        " DISABLE",
        "DISABLE now",
        "DISABLE\r\r",
        "ENABLE",
        "ENABLE ",
        "ENABLE udp 1194 1 192.0.2.7",        // no program
        "ENABLE udp 1194 1 192.0.2.7 ",       // empty program
        "ENABLE  udp 1194 1 192.0.2.7 /v",    // doubled space
        "ENABLE UDP 1194 1 192.0.2.7 /v",     // OpenVPN names are lower case
        "ENABLE sctp 1194 1 192.0.2.7 /v",
        "ENABLE udp 65536 1 192.0.2.7 /v",
        "ENABLE udp -1 1 192.0.2.7 /v",
        "ENABLE udp +1 1 192.0.2.7 /v",
        "ENABLE udp 99999999999999999999 1 192.0.2.7 /v",
        "ENABLE udp 0x10 1 192.0.2.7 /v",
        "ENABLE udp 1194 2 192.0.2.7 /v",
        "ENABLE udp 1194 yes 192.0.2.7 /v",
        "ENABLE udp 1194 1 192.0.2 /v",
        "ENABLE udp 1194 1 192.0.2.7.1 /v",
        "ENABLE udp 1194 1 192.0.2.256 /v",
        "ENABLE udp 1194 1 192.0.02.7 /v",
        "ENABLE udp 1194 1 192.0.2.7, /v",
        "ENABLE udp 1194 1 ,192.0.2.7 /v",
        "ENABLE udp 1194 1 192.0.2.7,,10.0.0.1 /v",
        "ENABLE udp 1194 1 2001:db8::1 /v",
        "ENABLE udp 1194 1 NONE /v",
        "ENABLE udp 1194 1 example.com /v",
        std::string("ENABLE udp 1194 1 192.0.2.7 /v\0x", 33),
        "ENABLE udp 1194 1 192.0.2.7 /v\x1b[2J",
        "ENABLE udp 1194 1 192.0.2.7 /v\r/w",
        "ENABLE udp 1194 1 192.0.2.7 /v\x7f",
        "\xff\xfe\x01\x02",
    };
    for (const std::string& line : malformed) {
        const Command command = parseCommand(line);
        const auto* error = std::get_if<CommandError>(&command);
        ASSERT_NE(error, nullptr) << "accepted: " << line;
        EXPECT_FALSE(error->reason.empty());
    }
}

}  // namespace
}  // namespace varnel::service
