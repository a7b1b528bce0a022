#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "support/storage_fixture.h"

// Links, FIFOs and devices where the store expects its own regular files: on Linux any process of
// the user can put them there.

namespace varnel {
namespace {

namespace fs = std::filesystem;

class NonRegularFiles : public ::testing::Test, protected test::StorageFixture {
protected:
    std::vector<std::string> listedRaws() {
        std::vector<std::string> raws;
        const JSValue listed = host.callAndWait("listSavedOvpnProfiles").value;
        for (const JSValue& item : *listed.asArray())
            raws.push_back(*item.asObject()->find("_raw")->asString());
        std::sort(raws.begin(), raws.end());
        return raws;
    }
    void saveMeta(const std::string& id) { ASSERT_TRUE(host.callAndWait("saveOvpnProfileMeta", test::args({JSValue(id), JSValue(id)})).resolved); }
};

TEST_F(NonRegularFiles, AFifoUserDefaultReadsEmptyWithoutWaitingForAWriterAndAWriteReplacesIt) {
    fs::create_directories(root() / "prefs");
    ASSERT_EQ(::mkfifo((root() / "prefs" / "key").c_str(), 0600), 0);
    EXPECT_EQ(*host.callAndWait("readUserDefaults", test::args({"key"})).value.asString(), "");

    ASSERT_TRUE(host.callAndWait("writeUserDefaults", test::args({"key", "value"})).resolved);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root() / "prefs" / "key")));
    EXPECT_EQ(*host.callAndWait("readUserDefaults", test::args({"key"})).value.asString(), "value");
}

TEST_F(NonRegularFiles, TheListingSkipsEntriesItCannotReadAndListsTheRest) {
    for (const char* id : {"one", "two", "three", "four", "five", "six"}) saveMeta(id);
    fs::create_symlink(root() / "nowhere", profiles() / "dangling");
    fs::create_directories(profiles() / "device");
    fs::create_symlink("/dev/zero", profiles() / "device" / "meta.json");
    fs::create_directories(profiles() / "fifo");
    ASSERT_EQ(::mkfifo((profiles() / "fifo" / "meta.json").c_str(), 0600), 0);
    fs::create_directories(profiles() / "folder" / "meta.json");
    fs::create_symlink(profiles() / "one", profiles() / "linked-profile");

    // A linked profile folder is still a profile folder; everything else that cannot be read is left out.
    EXPECT_EQ(listedRaws(), (std::vector<std::string>{"five", "four", "one", "one", "six", "three", "two"}));
}

TEST_F(NonRegularFiles, ALinkedAuthFileIsNeitherReadNorWrittenThrough) {
    saveMeta("p");
    const fs::path outside = temp.path() / "outside.txt";
    test::writeFileBytes(outside, "root\nsecret of someone else\n");
    fs::create_symlink(outside, profiles() / "p" / "auth.txt");

    EXPECT_EQ(test::rejectionMessage(host.callAndWait("readOvpnAuth", test::args({"p"}))), "Auth file not found");
    ASSERT_TRUE(host.callAndWait("saveOvpnAuth", test::args({"p", "alice", "pw"})).resolved);
    EXPECT_EQ(test::fileBytes(outside), "root\nsecret of someone else\n");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(profiles() / "p" / "auth.txt")));
    EXPECT_EQ(test::fileBytes(profiles() / "p" / "auth.txt"), "alice\npw\n");
}

TEST_F(NonRegularFiles, RewrittenFilesAreOwnerOnlyWhateverModeTheOldOnesHad) {
    saveMeta("p");
    struct Case {
        const char* method;
        JSValue args;
        fs::path file;
    };
    const Case cases[] = {
        {"saveOvpnAuth", test::args({"p", "alice", "pw"}), profiles() / "p" / "auth.txt"},
        {"saveOvpnProfile", test::args({"p", "client", "c.ovpn"}), profiles() / "p" / "c.ovpn"},
        {"writeUserDefaults", test::args({"k", "v"}), root() / "prefs" / "k"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        fs::create_directories(c.file.parent_path());
        test::writeFileBytes(c.file, "old");
        fs::permissions(c.file, fs::perms::all);
        ASSERT_TRUE(host.callAndWait(c.method, c.args).resolved);
        EXPECT_EQ(fs::status(c.file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
}

}  // namespace
}  // namespace varnel
