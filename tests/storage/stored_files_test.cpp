#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/files.h"
#include "storage/user_defaults.h"
#include "support/storage_fixture.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::args;
using test::fileBytes;
using test::writeFileBytes;

// Every entry below the folder with its size: anything created, removed or changed shows.
std::vector<std::pair<std::string, std::uintmax_t>> everything(const fs::path& folder) {
    std::vector<std::pair<std::string, std::uintmax_t>> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        entries.emplace_back(entry.path().string(), entry.is_regular_file() ? entry.file_size() : 0);
    std::sort(entries.begin(), entries.end());
    return entries;
}

class Storage : public ::testing::Test, protected test::StorageFixture {
protected:
    std::vector<std::string> listedRaws() {
        std::vector<std::string> raws;
        const bridge::JSValue listed = call("listSavedOvpnProfiles", args({})).value;
        for (const bridge::JSValue& item : *listed.asArray()) raws.push_back(*item.asObject()->find("_raw")->asString());
        std::sort(raws.begin(), raws.end());  // the listing keeps the directory's own order
        return raws;
    }
    static bridge::JSValue credentials(const std::string& user, const std::string& password) {
        return bridge::JSValue(bridge::JSValueObject{{"username", bridge::JSValue(user)}, {"password", bridge::JSValue(password)}});
    }
};

TEST_F(Storage, ListsOnlyProfileFoldersHoldingMetaWithTextModeFolding) {
    EXPECT_TRUE(listedRaws().empty());
    call("saveOvpnProfile", args({"with-meta", "client\r\n", "a.ovpn"}));
    call("saveOvpnProfileMeta", args({"with-meta", "{\"id\":\"with-meta\"}\r\nline2\r\n"}));
    call("saveOvpnProfile", args({"config-only", "client\n", "b.ovpn"}));
    call("saveOvpnProfileMeta", args({"ctrl-z", std::string("kept\x1A" "dropped")}));
    writeFileBytes(profiles() / "meta.json", "a file directly in the profiles folder");
    EXPECT_EQ(listedRaws(), (std::vector<std::string>{"kept", "{\"id\":\"with-meta\"}\nline2\n"}));
    // The bytes on disk keep their CR LF.
    EXPECT_EQ(fileBytes(profiles() / "with-meta" / "meta.json") + fileBytes(profiles() / "with-meta" / "a.ovpn"), "{\"id\":\"with-meta\"}\r\nline2\r\nclient\r\n");
}

TEST_F(Storage, SaveAnswersThePathAndTheFileNameAsGivenAndDeleteRemovesTheWholeFolder) {
    const std::string name = "Caf\xC3\xA9 \xE2\x82\xAC.ovpn";  // each byte is one unit of the name on disk
    const std::string folder = platform::narrowUnits(runtime->dataFolder.profileDir("p1"));
    EXPECT_EQ(call("saveOvpnProfile", args({"p1", "remote x 1194\n", bridge::JSValue(name), "unused"})).value,
              bridge::JSValue(bridge::JSValueObject{{"fileName", bridge::JSValue(name)}, {"configPath", bridge::JSValue(folder + static_cast<char>(platform::kPathSeparator) + name)}}));
    ASSERT_EQ(everything(profiles() / "p1").size(), 1u);
    const fs::path onDisk = fs::directory_iterator(profiles() / "p1")->path();
    EXPECT_EQ(platform::narrowUnits(onDisk.filename().native()) + "|" + fileBytes(onDisk), name + "|remote x 1194\n");
    fs::create_directories(profiles() / "p1" / "nested");
    EXPECT_TRUE(call("deleteOvpnProfile", args({"p1"})).resolved);
    EXPECT_TRUE(call("deleteOvpnProfile", args({"never-saved"})).resolved);
    EXPECT_TRUE(everything(profiles()).empty());
}

TEST_F(Storage, CredentialsAreTwoLinesAndFilesOfOtherToolsReadToo) {
    const fs::path auth = profiles() / "p" / "auth.txt";
    ASSERT_TRUE(call("saveOvpnAuth", args({"p", "alice", ""})).resolved);
    EXPECT_EQ(fileBytes(auth), "alice\n\n");
    const std::pair<std::string, bridge::JSValue> files[] = {
        {"carol\r\nsecret\r\n", credentials("carol", "secret")}, {"dave", credentials("dave", "")}, {"", credentials("", "")},
        {"erin\nsecret\nthird line\n", credentials("erin", "secret")}, {"frank\r\nlone\rcr", credentials("frank", "lone\rcr")},
    };
    for (const auto& [bytes, expected] : files) {
        writeFileBytes(auth, bytes);
        EXPECT_EQ(call("readOvpnAuth", args({"p"})).value, expected) << bytes;
    }
    EXPECT_EQ(rejection("readOvpnAuth", args({"none"})), "Auth file not found");
}

TEST_F(Storage, UserDefaultsRoundTripByteForByteInAFileNamedWithSafeAsciiAlone) {
    const auto read = [&](const std::string& key) { return call("readUserDefaults", args({bridge::JSValue(key)})).value; };
    const auto write = [&](const std::string& key, const std::string& value) { return call("writeUserDefaults", args({bridge::JSValue(key), bridge::JSValue(value)})); };
    const std::pair<std::string, std::string> files[] = {
        {"theme", "theme"}, {"v1.2-beta_x", "v1.2-beta_x"}, {"a b/c\\d", "a_b_c_d"}, {"caf\xC3\xA9", "caf__"},
        {"\xE2\x82\xAC", "___"}, {"", "pref"}, {std::string("a\0b", 3), "a_b"},
    };
    for (const auto& [key, file] : files) {
        ASSERT_TRUE(write(key, "line\r\nnext\r\n" + key).resolved) << key;
        EXPECT_EQ(fileBytes(root() / "prefs" / file), "line\r\nnext\r\n" + key);
        EXPECT_EQ(read(file), bridge::JSValue("line\r\nnext\r\n" + key)) << key;  // the same file
    }
    EXPECT_EQ(read("never written"), bridge::JSValue(""));
    // "." and ".." name folders: their writes reject and their reads are empty.
    for (const char* key : {".", ".."})
        EXPECT_TRUE(test::rejectionMessage(write(key, "lost")).starts_with("Could not write ") && read(key) == bridge::JSValue("")) << key;
}

// Names that climb out, name a folder, change on Windows (trailing dots, spaces) or break OpenVPN's command line.
const std::string kUnsafeNames[] = {
    "", ".", "..", "../x", "../../x", "a/b", "a\\b", "C:x", std::string("a\0b", 3), "...", " ", ". .", "a.", "a ", "x\"y", "a\x01z",
    "line\nx", "tab\tx", "del\x7F", "c.ovpn\" --writepid \"injected.pid",
};

TEST_F(Storage, EveryProfileMethodRefusesAnUnsafeIdOrFileNameBeforeTouchingTheDiskOrLaunching) {
    // Each method's arguments with "@" where the id goes, then where the file name goes if it takes one.
    const std::tuple<const char*, bridge::JSValueArray, bridge::JSValueArray> methods[] = {
        {"saveOvpnProfile", {"@", "remote x 1194\n", "c.ovpn"}, {"p", "remote x 1194\n", "@"}}, {"saveOvpnProfileMeta", {"@", "{}"}, {}},
        {"saveOvpnAuth", {"@", "user", "secret"}, {}}, {"readOvpnAuth", {"@"}, {}}, {"deleteOvpnProfile", {"@"}, {}},
        {"connectOvpn", {"@", "c.ovpn", "user", "pw"}, {"p", "@", "user", "pw"}},
    };
    const auto with = [](bridge::JSValueArray arguments, const std::string& name) {
        for (bridge::JSValue& argument : arguments)
            if (argument == bridge::JSValue("@")) argument = bridge::JSValue(name);
        return bridge::JSValue(arguments);
    };
    ASSERT_TRUE(call("saveOvpnProfile", args({"p", "kept", "c.ovpn"})).resolved);
    ASSERT_TRUE(call("saveOvpnAuth", args({"p", "user", "secret"})).resolved);
    fs::create_directories(profiles() / "a");
    const auto before = everything(temp.path());
    for (const auto& [method, withId, withFileName] : methods) {
        for (const std::string& name : kUnsafeNames) {
            const std::string fileNameRejection = withFileName.empty() ? "" : rejection(method, with(withFileName, name));
            EXPECT_EQ(rejection(method, with(withId, name)) + "|" + fileNameRejection,
                      "Invalid profile id: " + name + "|" + (withFileName.empty() ? "" : "Invalid file name: " + name)) << method << " [" << name << "]";
        }
    }
    EXPECT_EQ(rejection("saveOvpnProfile", args({"..", "x", "../y"})), "Invalid profile id: ..");  // the id is named first
    EXPECT_EQ(everything(temp.path()), before);
    EXPECT_TRUE(runtime->launcher->launches().empty());

    // Plain names, however unusual, work with every method.
    for (const std::string id : {"q", " lead", "a..b", ".hidden", ".ovpn", "Caf\xC3\xA9 \xE2\x82\xAC", "two words", "x-1_2", "x'y"}) {
        const std::string name = id + ".ovpn";
        EXPECT_EQ(*call("saveOvpnProfile", args({bridge::JSValue(id), "c", bridge::JSValue(name)})).value.asObject()->find("fileName"), bridge::JSValue(name));
        EXPECT_TRUE(call("saveOvpnProfileMeta", args({bridge::JSValue(id), "{}"})).resolved && call("saveOvpnAuth", args({bridge::JSValue(id), "u", "pw"})).resolved) << id;
        EXPECT_EQ(call("readOvpnAuth", args({bridge::JSValue(id)})).value, credentials("u", "pw")) << id;
        // The test runtime finds no OpenVPN, the step after the names.
        EXPECT_TRUE(rejection("connectOvpn", args({bridge::JSValue(id), bridge::JSValue(name), "", ""})).starts_with("OpenVPN not found.")) << id;
        EXPECT_TRUE(call("deleteOvpnProfile", args({bridge::JSValue(id)})).resolved && !fs::exists(fs::path(storage::DataFolder::child(profiles().native(), id)))) << id;
    }
}

// A folder standing where the file goes makes every write fail at its last step, the rename.
TEST_F(Storage, AFailedWriteRejectsNamingTheFileAndLeavesNothingOfItself) {
    for (const auto& [method, arguments, file] : writes()) {
        fs::create_directories(file / "in the way");
        const auto before = everything(temp.path());
        const std::string message = rejection(method, arguments), prefix = "Could not write " + platform::narrowUnits(file.native()) + ": ";
        EXPECT_TRUE(message.starts_with(prefix) && message.size() > prefix.size()) << method << ": " << message;  // the system's reason follows
        EXPECT_EQ(everything(temp.path()), before) << method << ": the temporary file is gone, what was in the way kept";
    }
    // A refused keychain write rejects with its code, the same text on every system.
    runtime->secrets->failWritesWith(1312);
    EXPECT_EQ(rejection("writeKeychainItem", args({"svc", "acct", "value"})), "CredWrite failed (1312)");
    EXPECT_FALSE(runtime->secrets->read("svc/acct").has_value());
}

// Files over their limit read as unreadable; one at the limit still reads.
TEST_F(Storage, FilesOverTheirLimitReadAsUnreadable) {
    constexpr std::size_t kMiB = 1024 * 1024;
    fs::create_directories(root() / "prefs");
    for (const std::size_t over : {0, 1}) {
        const std::string id = over ? "over" : "at";
        fs::create_directories(profiles() / id);
        writeFileBytes(profiles() / id / "meta.json", std::string(kMiB + over, 'm'));
        writeFileBytes(profiles() / id / "auth.txt", "user\n" + std::string(kMiB - 5 + over, 'p'));
        writeFileBytes(root() / "prefs" / id, std::string(16 * kMiB + over, 'v'));
        EXPECT_EQ(call("readOvpnAuth", args({bridge::JSValue(id)})).resolved, !over);
        EXPECT_EQ(storage::readUserDefaults(runtime->dataFolder, id).size(), over ? 0 : 16 * kMiB);
    }
    EXPECT_EQ(listedRaws(), std::vector<std::string>{std::string(kMiB, 'm')});
}

// Each value is one letter repeated to a length of its own: a read that mixes, cuts or half-sees one matches none.
TEST(AtomicWrites, ConcurrentWritersAndReadersNeverSeeATornUserDefault) {
    // Windows replaces no file anyone holds open: one reader lets go between reads; 50 rounds keep Wine to seconds.
    const bool windows = platform::kPathSeparator == '\\';
    const int writers = 20, readers = windows ? 1 : 4, rounds = windows ? 50 : 300;
    auto runtime = test::makeTestRuntime();
    const storage::DataFolder& data = runtime->dataFolder;
    std::vector<std::string> values;
    for (int i = 0; i < writers; ++i) values.emplace_back(std::size_t(2048 + 64 * i), static_cast<char>('A' + i));
    const auto whole = [&] { return std::ranges::find(values, storage::readUserDefaults(data, "shared")) != values.end(); };
    storage::writeUserDefaults(data, "shared", values[0]);
    std::atomic<int> torn{0}, failedWrites{0};
    for (int round = 0; round < rounds; ++round) {
        // A barrier of our own: under Wine a round once hung in std::latch's wait.
        std::atomic<int> writing{writers}, ready{0};
        std::vector<std::jthread> threads;
        for (int i = 0; i < writers + readers; ++i)
            threads.emplace_back([&, i] {
                for (++ready; ready < writers + readers;) std::this_thread::yield();
                if (i < writers) {
                    try { storage::writeUserDefaults(data, "shared", values[i]); } catch (const std::exception&) { ++failedWrites; }
                    --writing;
                } else {
                    do {
                        torn += !whole();
                        windows ? std::this_thread::sleep_for(std::chrono::milliseconds(1)) : std::this_thread::yield();
                    } while (writing > 0);
                }
            });
        threads.clear();
        torn += !whole();  // the file the round left
    }
    EXPECT_EQ(torn + failedWrites, 0);
    EXPECT_EQ(everything(fs::path(data.root()) / "prefs").size(), 1u);  // no temporary file left
}

// A keychain item is one target "service/account", however the two are cut (the stores are the platform tests').
TEST_F(Storage, KeychainItemsAreAddressedByTheirJoinedTarget) {
    ASSERT_TRUE(call("writeKeychainItem", args({"svc/a", "b", "value"})).resolved);
    EXPECT_EQ(call("readKeychainItem", args({"svc", "a/b"})).value, bridge::JSValue("value"));
    ASSERT_TRUE(call("deleteKeychainItem", args({"svc", "a/b"})).resolved && call("deleteKeychainItem", args({"svc", "nobody"})).resolved);
    EXPECT_EQ(call("readKeychainItem", args({"svc/a", "b"})).value, bridge::JSValue(""));
}

}  // namespace
}  // namespace varnel
