#include "killswitch/kill_switch.h"

#include <gtest/gtest.h>

#include "killswitch/killswitch_file.h"
#include "killswitch/ovpn_remote.h"
#include "killswitch/server_addresses.h"
#include "platform/killswitch_channel.h"
#include "support/killswitch_service_double.h"
#include "support/temp_dir.h"
#include "support/test_helpers.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using namespace killswitch;
using platform::exchangeKillSwitchBytes;
using test::KillSwitchServiceDouble;
using Lines = std::vector<std::string>;

// With spaces and a non-ASCII letter, as an installation folder may have.
const std::string kProgram = "/opt/Varnel VPN/b\xC3\xA4se/varnel app";
std::string enable(const std::string& fields) { return "ENABLE " + fields + " " + kProgram + "\n"; }

// A record as "protocol|port|addresses", a remote as "host|port|protocol": a case reads on one line.
template <class Record>
std::string fields(const Record& r) { return r.protocol + "|" + std::to_string(r.port) + "|" + r.addresses; }
std::string fields(const OvpnRemote& r) { return r.host + "|" + std::to_string(r.port) + "|" + r.proto; }

class KillSwitchTest : public ::testing::Test {
protected:
    KillSwitch& make(const char* protocol = "", std::int32_t port = 0, const char* address = "") {
        made.push_back(std::make_unique<KillSwitch>(service.channel(), platform::utf8ToPathText(kProgram), (temp.path() / "killswitch.txt").native()));
        made.back()->setServerProtocolAndPort(protocol, port);
        if (*address) made.back()->recordServerAddresses(address, protocol, port);
        return *made.back();
    }
    test::TempDir temp;
    KillSwitchServiceDouble service;
    std::vector<std::unique_ptr<KillSwitch>> made;
};

TEST_F(KillSwitchTest, SendsEnableWithTheServerAndTheProgramPathByteForByteAndDisableWhenTurnedOff) {
    // Without an address, rules for a wanted session would block the tunnel itself: only its end is sent.
    for (KillSwitch* k : {&make("tcp", 443, "192.0.2.7"), &make()}) {
        k->apply(true);
        k->apply(false);
    }
    KillSwitch& k = make("udp", 1194, "192.0.2.1");
    EXPECT_EQ(k.setEnabled(false, [] { return true; }), (bridge::JSValueObject{{"enabled", bridge::JSValue(false)}}));
    // Turned on, it sends the rules only while connected; the connect sends them otherwise.
    EXPECT_EQ(k.setEnabled(true, [] { return false; }), (bridge::JSValueObject{{"enabled", bridge::JSValue(true)}}));
    EXPECT_TRUE(k.enabled());
    k.setEnabled(true, [] { return true; });
    // The IPv6 setting, on at first, is kept for the next connect and sends nothing.
    EXPECT_TRUE(k.blockIpv6());
    EXPECT_EQ(k.setBlockIpv6(false), (bridge::JSValueObject{{"enabled", bridge::JSValue(false)}}));
    EXPECT_FALSE(k.blockIpv6());
    EXPECT_EQ(service.received(), (Lines{enable("tcp 443 1 192.0.2.7"), enable("tcp 443 0 192.0.2.7"), enable("any 0 0 none"), "DISABLE\n",
                                         enable("udp 1194 1 192.0.2.1")}));
}

TEST_F(KillSwitchTest, RecordingKeepsTheEarlierAddressWhenNothingResolvesAndRestoresFromTheFile) {
    KillSwitch& k = make("tcp", 443, "192.0.2.9");
    k.recordServerAddresses("::1", "udp", 1194);
    EXPECT_EQ(fields(k.server()), "tcp|443|192.0.2.9");  // protocol and port are the connect's to store
    KillSwitch& restarted = make();
    restarted.restoreServerFromRecord();
    EXPECT_EQ(fields(restarted.server()), "tcp|443|192.0.2.9");
}

// Over the double's socket or pipe; a mute service holds the connection until the channel's time-out.
TEST(KillSwitchChannel, AnswersOnceWithAtMostTheReplyLimitAndNothingWhenSilentMuteOrAbsent) {
    KillSwitchServiceDouble service;
    int busy = 0;
    const auto exchange = [&](const std::string& channel) { return exchangeKillSwitchBytes(channel, "DISABLE\n", [&](int) { ++busy; }); };
    const std::string longest(platform::kKillSwitchReplyMax, 'r');
    service.setReply(longest + "overflow");
    EXPECT_EQ(exchange(service.channel()).bytes, longest);
    for (const char* mode : {"silent", "mute", "absent"}) {
        service.setReply(mode == std::string("silent") ? "" : "OK\n");
        service.setMute(mode == std::string("mute"));
        const auto reply = exchange(mode == std::string("absent") ? test::absentKillSwitchChannel() : service.channel());
        EXPECT_TRUE(reply.bytes.empty() && reply.opens == 1 && busy == 0) << mode << ": " << reply.opens << " opens";
    }
    EXPECT_EQ(service.received(), (Lines{"DISABLE\n", "DISABLE\n", "DISABLE\n"}));
}

// CR LF and the record writer's round trip are the fuzz targets' properties.
TEST(KillSwitchFiles, TheConfigurationsServerAndTheRecordAsWrittenOrHandEdited) {
    const std::pair<std::string, const char*> remotes[] = {
        {"client\ndev tun\nproto tcp\nremote vpn.example.net 443\n", "vpn.example.net|443|tcp"},
        {"remote a.example 1194\nremote b.example 443 udp\n", "b.example|443|"}, {"proto udp\nremote h 1\nproto tcp-client\n", "h|1|tcp-client"},
        {"remote\thost.example\t8443\nproto udp\n", "host.example|8443|udp"}, {"proto udp\nport 1194\n", "|0|udp"},
        {"remote a 443\nremote b\n", "b|443|"}, {"remote a 443\nremote\n", "a|443|"},  // a remote without a port keeps the earlier one
        {"remote h 12ab\n", "h|12|"}, {"remote h abc\n", "h|0|"}, {"remote h -7\nremote h +9\n", "h|9|"}, {"remote h 99999999999\n", "h|2147483647|"},
        {"  remote h 5\nRemote x 6\n# remote y 7\n;proto tcp\nprotocol tcp\n", "h|5|"}, {"remote last.example 53", "last.example|53|"},
        {"<ca>\nremote-random\n</ca>\nremote h 2\n", "h|2|"},
    };
    const std::pair<std::string, const char*> records[] = {
        {"tcp \r\r\n 443 \n10.0.0.1  \n\n", "tcp|443|10.0.0.1"}, {"udp\nabc\n10.0.0.1", "udp|0|10.0.0.1"}, {"udp\n12ab\n", "udp|12|"},
        {"udp\n+7\n", "udp|7|"}, {"udp\n2147483648\nx", "udp|0|x"},  // no port rather than some other one
        {"udp\n-2147483648\nx", "udp|-2147483648|x"}, {"udp\n", "udp|0|"}, {"", "|0|"}, {"\n\n\n1.2.3.4", "|0|"},
    };
    test::TempDir folder;
    const fs::path file = folder.path() / "file";
    EXPECT_EQ(fields(readOvpnRemote(file.native())) + fields(readKillSwitchFile(file.native())), "|0||0|");  // no file
    const auto read = [&](const std::string& bytes, auto reader) {
        test::writeFileBytes(file, bytes);
        return fields(reader(file.native()));
    };
    for (const auto& [text, expected] : remotes) EXPECT_EQ(read(text, readOvpnRemote), expected) << text;
    for (const auto& [bytes, expected] : records) EXPECT_EQ(read(bytes, readKillSwitchFile), expected) << bytes;
    writeKillSwitchFile(file.native(), "udp", -12, "192.0.2.1,192.0.2.2");
    EXPECT_EQ(test::fileBytes(file), "udp\n-12\n192.0.2.1,192.0.2.2");
    writeKillSwitchFile((folder.path() / "gone" / "killswitch.txt").native(), "udp", 1, "1.2.3.4");
    EXPECT_FALSE(fs::exists(folder.path() / "gone"));  // no folder is made for it
}

TEST(ServerAddresses, IPv4OnlyEachOnceInFirstOrder) {
    const std::pair<const char*, const char*> hosts[] = {
        {"192.0.2.44", "192.0.2.44"}, {"127.0.0.1", "127.0.0.1"}, {"localhost", "127.0.0.1"}, {"::1", ""}, {"2001:db8::1", ""}, {"", ""},
    };
    for (const auto& [host, expected] : hosts) EXPECT_EQ(resolveServerAddresses(host), expected) << host;
    EXPECT_EQ(joinUniqueAddresses({"10.0.0.2", "10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.1"}), "10.0.0.2,10.0.0.1,10.0.0.3");
}

}  // namespace
}  // namespace varnel
