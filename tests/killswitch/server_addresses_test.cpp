#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "killswitch/killswitch_file.h"
#include "killswitch/ovpn_remote.h"
#include "killswitch/server_addresses.h"
#include "support/test_runtime.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using namespace killswitch;

void writeBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OvpnRemote, ReadsTheLastRemoteAndProtoOfARealFile) {
    struct Case {
        const char* name;
        std::string text;
        std::string host;
        std::int32_t port;
        std::string proto;
    };
    const Case cases[] = {
        {"plain", "client\ndev tun\nproto tcp\nremote vpn.example.net 443\n", "vpn.example.net", 443, "tcp"},
        {"second remote wins", "remote a.example 1194\nremote b.example 443 udp\n", "b.example", 443, ""},
        {"last proto wins", "proto udp\nremote h 1\nproto tcp-client\n", "h", 1, "tcp-client"},
        {"crlf and tabs", "remote\thost.example\t8443\r\nproto udp\r\n", "host.example", 8443, "udp"},
        {"no remote", "proto udp\nport 1194\n", "", 0, "udp"},
        {"remote without port keeps the earlier port", "remote a 443\nremote b\n", "b", 443, ""},
        {"bare remote changes nothing", "remote a 443\nremote\n", "a", 443, ""},
        {"port stops at a letter", "remote h 12ab\n", "h", 12, ""},
        {"port of letters", "remote h abc\n", "h", 0, ""},
        {"signed ports", "remote h -7\nremote h +9\n", "h", 9, ""},
        {"port past 32 bits", "remote h 99999999999\n", "h", 2147483647, ""},
        {"indented and case-sensitive", "  remote h 5\nRemote x 6\n# remote y 7\n;proto tcp\nprotocol tcp\n", "h", 5, ""},
        {"last line without line feed", "remote last.example 53", "last.example", 53, ""},
        {"inline block is skipped", "<ca>\nremote-random\n</ca>\nremote h 2\n", "h", 2, ""},
    };
    test::TempDir folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = folder.path() / "profile.ovpn";
        writeBytes(file, c.text);
        const OvpnRemote remote = readOvpnRemote(file.native());
        EXPECT_EQ(remote.host, c.host);
        EXPECT_EQ(remote.port, c.port);
        EXPECT_EQ(remote.proto, c.proto);
    }
}

TEST(OvpnRemote, MissingFileGivesTheInitialValue) {
    test::TempDir folder;
    const OvpnRemote remote = readOvpnRemote((folder.path() / "missing.ovpn").native());
    EXPECT_EQ(remote.host, "");
    EXPECT_EQ(remote.port, 0);
    EXPECT_EQ(remote.proto, "");
}

class KillSwitchFile : public ::testing::Test {
protected:
    KillSwitchFile() { fs::create_directories(root()); }
    fs::path root() const { return fs::path(runtime->dataFolder.root()); }
    fs::path file() const { return fs::path(runtime->dataFolder.killSwitchRecordFile()); }
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime();
};

TEST_F(KillSwitchFile, WritesThreeLinesWithoutAFinalLineFeedAndReadsThemBack) {
    writeKillSwitchFile(file().native(), "udp", -12, "192.0.2.1,192.0.2.2");
    EXPECT_EQ(readBytes(file()), "udp\n-12\n192.0.2.1,192.0.2.2");
    const KillSwitchRecord record = readKillSwitchFile(file().native());
    EXPECT_EQ(record.protocol, "udp");
    EXPECT_EQ(record.port, -12);
    EXPECT_EQ(record.addresses, "192.0.2.1,192.0.2.2");

    writeKillSwitchFile(file().native(), "", 0, "");
    EXPECT_EQ(readBytes(file()), "\n0\n");
}

TEST_F(KillSwitchFile, ReadsHandEditedFiles) {
    struct Case {
        std::string bytes, protocol;
        std::int32_t port;
        std::string addresses;
    };
    const Case cases[] = {
        {"tcp\r\n443\r\n10.0.0.1,10.0.0.2\r\n", "tcp", 443, "10.0.0.1,10.0.0.2"},
        {"tcp \r\r\n 443 \n10.0.0.1  \n\n", "tcp", 443, "10.0.0.1"},
        {"udp\nabc\n10.0.0.1", "udp", 0, "10.0.0.1"},
        {"udp\n12ab\n", "udp", 12, ""},
        {"udp\n+7\n", "udp", 7, ""},
        {"udp\n2147483648\nx", "udp", 0, "x"},
        {"udp\n-2147483648\nx", "udp", -2147483647 - 1, "x"},
        {"udp\n", "udp", 0, ""},
        {"", "", 0, ""},
        {"\n\n\n1.2.3.4", "", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        writeBytes(file(), c.bytes);
        const KillSwitchRecord record = readKillSwitchFile(file().native());
        EXPECT_EQ(record.protocol, c.protocol);
        EXPECT_EQ(record.port, c.port);
        EXPECT_EQ(record.addresses, c.addresses);
    }
}

TEST_F(KillSwitchFile, MissingFileOrFolderReadsEmptyAndWritingCreatesNoFolder) {
    EXPECT_EQ(readKillSwitchFile(file().native()).port, 0);
    fs::remove_all(root());
    writeKillSwitchFile(file().native(), "udp", 1, "1.2.3.4");
    EXPECT_FALSE(fs::exists(root()));
    const KillSwitchRecord record = readKillSwitchFile(file().native());
    EXPECT_EQ(record.protocol, "");
    EXPECT_EQ(record.addresses, "");
}

TEST(ServerAddresses, ResolvesLiteralsAndHostsFileNamesToIpv4Only) {
    const std::pair<std::string, std::string> cases[] = {
        {"192.0.2.44", "192.0.2.44"},
        {"127.0.0.1", "127.0.0.1"},
        {"localhost", "127.0.0.1"},
        {"::1", ""},
        {"2001:db8::1", ""},
        {"", ""},
    };
    for (const auto& [host, expected] : cases) EXPECT_EQ(resolveServerAddresses(host), expected) << host;
}

TEST(ServerAddresses, ListsEachAddressOnceInFirstOrder) {
    using List = std::vector<std::string>;
    const std::pair<List, std::string> cases[] = {
        {{}, ""},
        {{"10.0.0.1"}, "10.0.0.1"},
        {{"10.0.0.1", "10.0.0.1", "10.0.0.1"}, "10.0.0.1"},
        {{"10.0.0.2", "10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.1"}, "10.0.0.2,10.0.0.1,10.0.0.3"},
    };
    for (const auto& [addresses, expected] : cases) EXPECT_EQ(joinUniqueAddresses(addresses), expected);
}

}  // namespace
}  // namespace varnel
