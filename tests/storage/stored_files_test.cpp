#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <vector>

#include "platform/files.h"
#include "storage/user_defaults.h"
#include "support/storage_fixture.h"
#include "support/write_stress.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> entriesOf(const fs::path& folder) {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder)) entries.push_back(entry.path().filename());
    std::sort(entries.begin(), entries.end());
    return entries;
}

class StoredFiles : public ::testing::Test, protected test::StorageFixture {
protected:
    std::string pathText(const fs::path& path) const { return platform::narrowUnits(path.native()); }
};

// A folder standing where the file goes makes every write fail at its last step, the rename.
TEST_F(StoredFiles, AFailedWriteRejectsNamingTheFileAndLeavesNothingOfItself) {
    struct Case {
        const char* method;
        JSValue args;
        fs::path file;
    };
    const Case cases[] = {
        {"saveOvpnProfile", test::args({"p", "new", "c.ovpn"}), profiles() / "p" / "c.ovpn"},
        {"saveOvpnProfileMeta", test::args({"p", "{}"}), profiles() / "p" / "meta.json"},
        {"saveOvpnAuth", test::args({"p", "user", "secret"}), profiles() / "p" / "auth.txt"},
        {"writeUserDefaults", test::args({"k", "value"}), root() / "prefs" / "k"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        fs::create_directories(c.file / "in the way");
        const auto before = entriesOf(c.file.parent_path());
        const std::string message = test::rejectionMessage(host.callAndWait(c.method, c.args));
        const std::string prefix = "Could not write " + pathText(c.file) + ": ";
        EXPECT_EQ(message.substr(0, prefix.size()), prefix);
        EXPECT_GT(message.size(), prefix.size()) << "the system's reason follows";
        EXPECT_EQ(entriesOf(c.file.parent_path()), before) << "the temporary file is gone";
        EXPECT_TRUE(fs::is_directory(c.file / "in the way"));
    }
}

TEST_F(StoredFiles, DotKeysNameFoldersSoTheirWritesRejectAndTheirReadsAreEmpty) {
    for (const char* key : {".", ".."}) {
        SCOPED_TRACE(key);
        const std::string message = test::rejectionMessage(host.callAndWait("writeUserDefaults", test::args({key, "lost"})));
        EXPECT_EQ(message.rfind("Could not write ", 0), 0u) << message;
        EXPECT_EQ(*host.callAndWait("readUserDefaults", test::args({key})).value.asString(), "");
    }
    EXPECT_TRUE(entriesOf(root() / "prefs").empty());
}

// Files larger than any the system writes read as unreadable: the listing skips such a profile,
// auth.txt is "not found", and a user default reads empty.
TEST_F(StoredFiles, OversizedFilesReadAsUnreadable) {
    constexpr std::size_t kMiB = 1024 * 1024;
    for (const char* id : {"at-limit", "over-limit"}) fs::create_directories(profiles() / id);
    test::writeFileBytes(profiles() / "at-limit" / "meta.json", std::string(kMiB, 'm'));
    test::writeFileBytes(profiles() / "over-limit" / "meta.json", std::string(kMiB + 1, 'm'));
    const JSValue listed = host.callAndWait("listSavedOvpnProfiles").value;
    ASSERT_EQ(listed.asArray()->size(), 1u);
    EXPECT_EQ(listed.asArray()->front().asObject()->find("_raw")->asString()->size(), kMiB);

    test::writeFileBytes(profiles() / "at-limit" / "auth.txt", "user\n" + std::string(kMiB - 5, 'p'));
    EXPECT_TRUE(host.callAndWait("readOvpnAuth", test::args({"at-limit"})).resolved);
    test::writeFileBytes(profiles() / "over-limit" / "auth.txt", "user\n" + std::string(kMiB - 4, 'p'));
    EXPECT_EQ(test::rejectionMessage(host.callAndWait("readOvpnAuth", test::args({"over-limit"}))), "Auth file not found");

    fs::create_directories(root() / "prefs");
    test::writeFileBytes(root() / "prefs" / "big", std::string(16 * kMiB + 1, 'v'));
    EXPECT_EQ(storage::readUserDefaults(runtime->dataFolder, "big"), "");
    test::writeFileBytes(root() / "prefs" / "big", std::string(16 * kMiB, 'v'));
    EXPECT_EQ(storage::readUserDefaults(runtime->dataFolder, "big").size(), 16 * kMiB);
}

TEST(AtomicWrites, ConcurrentWritersAndReadersNeverSeeATornUserDefault) {
    auto runtime = test::makeTestRuntime();
    const test::WriteStress stress = test::writeStressForThisSystem();
    const test::WriteStressFigures figures = test::stressOneUserDefault(runtime->dataFolder, stress);
    std::cout << stress.rounds << " rounds of " << stress.writers << " writers and " << stress.readers << " readers: " << figures << "\n";
    EXPECT_EQ(figures.tornReads, 0);
    EXPECT_EQ(figures.tornFinalFiles, 0);
    EXPECT_EQ(figures.failedWrites, 0);
    EXPECT_EQ(entriesOf(runtime->temp.path() / "VarnelMac" / "prefs"), std::vector<fs::path>{"shared"});
}

}  // namespace
}  // namespace varnel
