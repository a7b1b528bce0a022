#include <gtest/gtest.h>

#include <fstream>

#include "storage/user_defaults.h"
#include "support/storage_fixture.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::fileBytes;
using test::rejectionMessage;


class CredentialsFile : public ::testing::Test, protected test::StorageFixture {
protected:
    fs::path authFile(const std::string& id) { return profiles() / id / "auth.txt"; }
    JSValue credentials(const std::string& user, const std::string& password) {
        return JSValue(JSValueObject{{"username", JSValue(user)}, {"password", JSValue(password)}});
    }
};

TEST_F(CredentialsFile, TwoLinesEachEndedByALineFeed) {
    ASSERT_TRUE(host.callAndWait("saveOvpnAuth", args({"p", "alice", ""})).resolved);
    EXPECT_EQ(fileBytes(authFile("p")), "alice\n\n");
    EXPECT_EQ(host.callAndWait("readOvpnAuth", args({"p"})).value, credentials("alice", ""));

    host.callAndWait("saveOvpnAuth", args({"p", "bob", "p\xC3\xA4ss word"}));
    EXPECT_EQ(fileBytes(authFile("p")), "bob\np\xC3\xA4ss word\n");
}

TEST_F(CredentialsFile, ReadsFilesWrittenByOtherTools) {
    const std::pair<std::string, JSValue> cases[] = {
        {"carol\r\nsecret\r\n", credentials("carol", "secret")},
        {"dave", credentials("dave", "")},
        {"erin\nsecret\nthird line\n", credentials("erin", "secret")},
        {"frank\r\nlone\rcr", credentials("frank", "lone\rcr")},
        {"", credentials("", "")},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(bytes);
        fs::create_directories(authFile("q").parent_path());
        std::ofstream(authFile("q"), std::ios::binary) << bytes;
        EXPECT_EQ(host.callAndWait("readOvpnAuth", args({"q"})).value, expected);
    }
}

TEST_F(CredentialsFile, MissingFileRejectsAndLeavesAnEmptyProfileFolder) {
    EXPECT_EQ(rejectionMessage(host.callAndWait("readOvpnAuth", args({"none"}))), "Auth file not found");
    EXPECT_TRUE(fs::is_directory(profiles() / "none"));
    EXPECT_TRUE(fs::is_empty(profiles() / "none"));
}

TEST(PrefFileName, KeepsSafeAsciiAndReplacesEveryOtherByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"theme", "theme"},           {"a b/c\\d", "a_b_c_d"},        {"v1.2-beta_x", "v1.2-beta_x"},
        {"caf\xC3\xA9", "caf__"},     {"\xE2\x82\xAC", "___"},        {"", "pref"},
        {".", "."},                   {"..", ".."},                   {std::string("a\0b", 3), "a_b"},
    };
    for (const auto& [key, name] : cases) EXPECT_EQ(storage::prefFileName(key), name) << key;
}

class UserDefaults : public ::testing::Test, protected test::StorageFixture {
protected:
    std::string read(const std::string& key) { return *host.callAndWait("readUserDefaults", args({JSValue(key)})).value.asString(); }
    void write(const std::string& key, const std::string& value) {
        ASSERT_TRUE(host.callAndWait("writeUserDefaults", args({JSValue(key), JSValue(value)})).resolved);
    }
};

TEST_F(UserDefaults, ValuesRoundTripByteForByteInAFileNamedAfterTheKey) {
    write("z", "1");
    EXPECT_EQ(read("z"), "1");
    EXPECT_EQ(fileBytes(root() / "prefs" / "z"), "1");

    write("crlf", "line\r\nnext\r\n");
    EXPECT_EQ(read("crlf"), "line\r\nnext\r\n");
    // Bytes that are not UTF-8 cannot cross the interface, but the store itself keeps them unchanged.
    const std::string raw("\xFF\xFE\x00\r\n", 5);
    storage::writeUserDefaults(runtime->dataFolder, "raw", raw);
    EXPECT_EQ(storage::readUserDefaults(runtime->dataFolder, "raw"), raw);

    write("shrink", "a longer value");
    write("shrink", "short");
    EXPECT_EQ(read("shrink"), "short");

    write("", "empty key");
    EXPECT_EQ(fileBytes(root() / "prefs" / "pref"), "empty key");
    write("caf\xC3\xA9", "x");
    EXPECT_EQ(read("caf__"), "x");  // the same file
    EXPECT_EQ(read("never written"), "");
}

}  // namespace
}  // namespace varnel
