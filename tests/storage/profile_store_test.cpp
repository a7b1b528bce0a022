#include <gtest/gtest.h>

#include <fstream>

#include "platform/files.h"
#include "support/storage_fixture.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::fileBytes;
using test::rejectionMessage;
using test::writeFileBytes;

class ProfileStore : public ::testing::Test, protected test::StorageFixture {
protected:
    JSValue list() { return host.callAndWait("listSavedOvpnProfiles").value; }
};

TEST_F(ProfileStore, ListingOnAFreshSystemCreatesTheFoldersAndIsEmpty) {
    EXPECT_EQ(list(), JSValue(JSValueArray{}));
    EXPECT_TRUE(fs::is_directory(profiles()));
}

TEST_F(ProfileStore, ListsOnlyFoldersHoldingMetaWithTextModeFolding) {
    host.callAndWait("saveOvpnProfile", args({"with-meta", "client\r\n", "a.ovpn"}));
    host.callAndWait("saveOvpnProfileMeta", args({"with-meta", "{\"id\":\"with-meta\"}\r\nline2\r\n"}));
    host.callAndWait("saveOvpnProfile", args({"config-only", "client\n", "b.ovpn"}));
    host.callAndWait("saveOvpnProfileMeta", args({"ctrl-z", std::string("kept\x1A" "dropped")}));
    writeFileBytes(profiles() / "meta.json", "a file directly in the profiles folder");

    std::vector<std::string> raws;
    const JSValue listed = list();
    for (const JSValue& item : *listed.asArray()) {
        ASSERT_EQ(item.asObject()->size(), 1u);
        raws.push_back(*item.asObject()->find("_raw")->asString());
    }
    std::sort(raws.begin(), raws.end());  // the listing keeps the directory's own order
    EXPECT_EQ(raws, (std::vector<std::string>{"kept", "{\"id\":\"with-meta\"}\nline2\n"}));
    // The bytes on disk keep their CR LF.
    EXPECT_EQ(fileBytes(profiles() / "with-meta" / "meta.json"), "{\"id\":\"with-meta\"}\r\nline2\r\n");
    EXPECT_EQ(fileBytes(profiles() / "with-meta" / "a.ovpn"), "client\r\n");
}

TEST_F(ProfileStore, SaveAnswersThePathAndTheFileNameAsGiven) {
    const std::string name = "Caf\xC3\xA9 \xE2\x82\xAC.ovpn";  // non-ASCII UTF-8 bytes
    test::Settlement s = host.callAndWait("saveOvpnProfile", args({"p1", "remote x 1194\n", name, "unused"}));
    ASSERT_TRUE(s.resolved) << rejectionMessage(s);
    const JSValueObject& result = *s.value.asObject();
    EXPECT_EQ(*result.find("fileName")->asString(), name);
    const std::string folder = platform::narrowUnits(runtime->dataFolder.profileDir("p1"));
    const std::string sep(1, static_cast<char>(platform::kPathSeparator));
    EXPECT_EQ(*result.find("configPath")->asString(), folder + sep + name);
    // Each byte of the name is one unit of the file's name on disk, so it reads back unchanged.
    const fs::path onDisk(storage::DataFolder::child(runtime->dataFolder.profileDir("p1"), name));
    EXPECT_EQ(fileBytes(onDisk), "remote x 1194\n");
    ASSERT_EQ(std::distance(fs::directory_iterator(profiles() / "p1"), fs::directory_iterator()), 1);
    EXPECT_EQ(platform::narrowUnits(fs::directory_iterator(profiles() / "p1")->path().filename().native()), name);

    // Saving again replaces the file; another name leaves the first beside it.
    host.callAndWait("saveOvpnProfile", args({"p1", "v2", name}));
    host.callAndWait("saveOvpnProfile", args({"p1", "other", "b.ovpn"}));
    EXPECT_EQ(fileBytes(onDisk), "v2");
    EXPECT_EQ(fileBytes(profiles() / "p1" / "b.ovpn"), "other");
}

TEST_F(ProfileStore, DeleteRemovesTheWholeFolderAndResolvesForUnknownIds) {
    host.callAndWait("saveOvpnProfile", args({"gone", "x", "c.ovpn"}));
    fs::create_directories(profiles() / "gone" / "nested");
    EXPECT_TRUE(host.callAndWait("deleteOvpnProfile", args({"gone"})).resolved);
    EXPECT_FALSE(fs::exists(profiles() / "gone"));

    EXPECT_TRUE(host.callAndWait("deleteOvpnProfile", args({"never-saved"})).resolved);
    EXPECT_FALSE(fs::exists(profiles() / "never-saved"));
}

TEST_F(ProfileStore, AFileInThePlaceOfTheDataFolderFailsSavesAndEmptiesTheListing) {
    writeFileBytes(root(), "not a folder");
    for (const char* method : {"saveOvpnProfile", "saveOvpnProfileMeta", "deleteOvpnProfile", "saveOvpnAuth", "readOvpnAuth"}) {
        SCOPED_TRACE(method);
        const std::string message = rejectionMessage(host.callAndWait(method, args({"p", "x", "y.ovpn"})));
        EXPECT_EQ(message.rfind("create_directories: ", 0), 0u) << message;
        EXPECT_NE(message.find("\""), std::string::npos) << message;
    }
    EXPECT_EQ(list(), JSValue(JSValueArray{}));
}

TEST_F(ProfileStore, FoldersArePrivateAndFilesOwnerOnlyOnPosix) {
    if (platform::kPathSeparator != '/') GTEST_SKIP() << "folder and file modes are a Linux matter";
    host.callAndWait("saveOvpnProfile", args({"p", "x", "c.ovpn"}));
    host.callAndWait("saveOvpnAuth", args({"p", "user", "secret"}));
    host.callAndWait("writeUserDefaults", args({"k", "v"}));
    for (const fs::path& folder : {root(), profiles(), profiles() / "p", root() / "prefs"})
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
    for (const fs::path& file : {profiles() / "p" / "c.ovpn", profiles() / "p" / "auth.txt", root() / "prefs" / "k"})
        EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write) << file;
}

}  // namespace
}  // namespace varnel
