#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/storage_fixture.h"

// Links, FIFOs and devices any process of the user can put where the store expects its files, and the modes it sets.

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;

class PosixStore : public ::testing::Test, protected test::StorageFixture {};

TEST_F(PosixStore, WhatIsNoRegularFileReadsAsMissingWithoutWaitingAndAWriteReplacesItWithoutFollowingIt) {
    fs::create_directories(root() / "prefs");
    ASSERT_EQ(::mkfifo((root() / "prefs" / "key").c_str(), 0600), 0);
    EXPECT_EQ(call("readUserDefaults", args({"key"})).value, bridge::JSValue(""));  // no writer is waited for
    ASSERT_TRUE(call("writeUserDefaults", args({"key", "value"})).resolved);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root() / "prefs" / "key")));

    // A linked auth.txt could point at another user's secret.
    ASSERT_TRUE(call("saveOvpnProfileMeta", args({"p", "p"})).resolved);
    test::writeFileBytes(temp.path() / "outside.txt", "root\nsecret of someone else\n");
    fs::create_symlink(temp.path() / "outside.txt", profiles() / "p" / "auth.txt");
    EXPECT_EQ(rejection("readOvpnAuth", args({"p"})), "Auth file not found");
    ASSERT_TRUE(call("saveOvpnAuth", args({"p", "alice", "pw"})).resolved);
    EXPECT_EQ(test::fileBytes(temp.path() / "outside.txt") + test::fileBytes(profiles() / "p" / "auth.txt"), "root\nsecret of someone else\nalice\npw\n");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(profiles() / "p" / "auth.txt")));

    // The listing leaves out what it cannot read and lists the rest; a linked profile folder is still one.
    fs::create_symlink(root() / "nowhere", profiles() / "dangling");
    for (const char* folder : {"device", "fifo", "folder/meta.json"}) fs::create_directories(profiles() / folder);
    fs::create_symlink("/dev/zero", profiles() / "device" / "meta.json");
    ASSERT_EQ(::mkfifo((profiles() / "fifo" / "meta.json").c_str(), 0600), 0);
    fs::create_symlink(profiles() / "p", profiles() / "linked");
    EXPECT_EQ(call("listSavedOvpnProfiles", args({})).value, bridge::JSValue(bridge::JSValueArray{
        bridge::JSValue(bridge::JSValueObject{{"_raw", bridge::JSValue("p")}}), bridge::JSValue(bridge::JSValueObject{{"_raw", bridge::JSValue("p")}})}));
}

TEST_F(PosixStore, FoldersArePrivateAndFilesOwnerOnlyWhateverModeTheOldOnesHad) {
    for (const auto& [method, arguments, file] : writes()) {
        ASSERT_TRUE(call(method, arguments).resolved);
        fs::permissions(file, fs::perms::all);
        ASSERT_TRUE(call(method, arguments).resolved);
        EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write) << method;
    }
    for (const fs::path& folder : {root(), profiles(), profiles() / "p", root() / "prefs"})
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
}

}  // namespace
}  // namespace varnel
