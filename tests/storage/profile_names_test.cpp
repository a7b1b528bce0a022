#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "bridge/rejection.h"
#include "storage/profile_names.h"
#include "support/storage_fixture.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

// Names that are not one plain folder or file inside the profile store: they climb out of it, name
// the folder itself, or (on Windows, which drops trailing dots and spaces) turn into another name;
// quotes and control characters cannot stand in OpenVPN's command line.
const std::vector<std::string>& unsafeNames() {
    static const std::vector<std::string> names = {
        "",   ".",    "..",   "../x", "../../x", "a/b",  "a\\b",   "C:x",     std::string("a\0b", 3),
        "...", " ",   ". .",  "a.",   "a ",      "x\"y", "a\x01z", "line\nx", "tab\tx",  "del\x7F",
    };
    return names;
}

using ArgsFor = std::function<JSValue(const std::string& id)>;
struct ProfileMethod {
    const char* name;
    ArgsFor argsFor;
};

const ProfileMethod kMethodsTakingAnId[] = {
    {"saveOvpnProfile", [](const std::string& id) { return test::args({JSValue(id), "remote x 1194\n", "c.ovpn"}); }},
    {"saveOvpnProfileMeta", [](const std::string& id) { return test::args({JSValue(id), "{}"}); }},
    {"saveOvpnAuth", [](const std::string& id) { return test::args({JSValue(id), "user", "secret"}); }},
    {"readOvpnAuth", [](const std::string& id) { return test::args({JSValue(id)}); }},
    {"deleteOvpnProfile", [](const std::string& id) { return test::args({JSValue(id)}); }},
};

class ProfileNames : public ::testing::Test, protected test::StorageFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.callAndWait("saveOvpnProfile", test::args({"p", "kept", "c.ovpn"})).resolved);
        ASSERT_TRUE(host.callAndWait("saveOvpnAuth", test::args({"p", "user", "secret"})).resolved);
        fs::create_directories(profiles() / "a");
    }
    // Every entry below the test's folder, with its size, so that any file created, removed or
    // changed anywhere shows.
    std::vector<std::pair<std::string, std::uintmax_t>> everything() const {
        std::vector<std::pair<std::string, std::uintmax_t>> entries;
        for (const auto& entry : fs::recursive_directory_iterator(temp.path()))
            entries.emplace_back(entry.path().string(), entry.is_regular_file() ? entry.file_size() : 0);
        std::sort(entries.begin(), entries.end());
        return entries;
    }
};

TEST_F(ProfileNames, EveryMethodRefusesAnIdThatIsNotOnePlainFolderBeforeTouchingTheDisk) {
    const auto before = everything();
    for (const ProfileMethod& method : kMethodsTakingAnId) {
        for (const std::string& id : unsafeNames()) {
            SCOPED_TRACE(std::string(method.name) + " with the id [" + id + "]");
            EXPECT_EQ(test::rejectionMessage(host.callAndWait(method.name, method.argsFor(id))), "Invalid profile id: " + id);
        }
    }
    EXPECT_EQ(everything(), before);
}

TEST_F(ProfileNames, SavingRefusesAFileNameThatIsNotOnePlainFile) {
    const auto before = everything();
    for (const std::string& name : unsafeNames()) {
        SCOPED_TRACE("file name [" + name + "]");
        EXPECT_EQ(test::rejectionMessage(host.callAndWait("saveOvpnProfile", test::args({"p", "remote x 1194\n", JSValue(name)}))),
                  "Invalid file name: " + name);
    }
    // An unsafe id is named before an unsafe file name.
    EXPECT_EQ(test::rejectionMessage(host.callAndWait("saveOvpnProfile", test::args({"..", "x", "../y"}))), "Invalid profile id: ..");
    EXPECT_EQ(everything(), before);
}

TEST_F(ProfileNames, PlainNamesKeepTheirAnswers) {
    const std::string ids[] = {"q", " lead", "a..b", ".hidden", "Caf\xC3\xA9", "two words", "x-1_2"};
    for (const std::string& id : ids) {
        SCOPED_TRACE("[" + id + "]");
        const std::string name = id + ".ovpn";
        const test::Settlement saved = host.callAndWait("saveOvpnProfile", test::args({JSValue(id), "c", JSValue(name)}));
        ASSERT_TRUE(saved.resolved) << test::rejectionMessage(saved);
        EXPECT_EQ(*saved.value.asObject()->find("fileName")->asString(), name);
        EXPECT_TRUE(host.callAndWait("saveOvpnProfileMeta", test::args({JSValue(id), "{}"})).resolved);
        EXPECT_TRUE(host.callAndWait("saveOvpnAuth", test::args({JSValue(id), "u", "pw"})).resolved);
        EXPECT_EQ(host.callAndWait("readOvpnAuth", test::args({JSValue(id)})).value,
                  JSValue(JSValueObject{{"username", JSValue("u")}, {"password", JSValue("pw")}}));
        EXPECT_TRUE(host.callAndWait("deleteOvpnProfile", test::args({JSValue(id)})).resolved);
        EXPECT_FALSE(fs::exists(fs::path(storage::DataFolder::child(profiles().native(), id))));
    }
}

// connectOvpn checks its two names with the same functions before it builds OpenVPN's command line.
TEST(ProfileNameChecks, RejectUnsafeNamesWithTheirTextAndPassPlainOnes) {
    const auto messageOf = [](const std::function<void()>& check) -> std::string {
        try {
            check();
        } catch (const Rejection& e) {
            return e.message();
        }
        return "(accepted)";
    };
    for (const std::string& name : unsafeNames()) {
        SCOPED_TRACE("[" + name + "]");
        EXPECT_EQ(messageOf([&] { storage::checkProfileId(name); }), "Invalid profile id: " + name);
        EXPECT_EQ(messageOf([&] { storage::checkFileName(name); }), "Invalid file name: " + name);
    }
    for (const char* name : {"client.ovpn", ".ovpn", "a..b", " lead", "Caf\xC3\xA9 \xE2\x82\xAC.ovpn", "x'y"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(messageOf([&] { storage::checkProfileId(name); }), "(accepted)");
        EXPECT_EQ(messageOf([&] { storage::checkFileName(name); }), "(accepted)");
    }
}

}  // namespace
}  // namespace varnel
