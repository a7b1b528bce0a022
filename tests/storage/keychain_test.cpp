#include "storage/keychain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_credential_store.h"
#include "support/secret_store_probe.h"

namespace varnel::storage {
namespace {

// These run against the build's real store: the Credential Manager under Wine, the Secret Service on
// Linux. Each run uses its own service names and removes what it wrote, so runs do not disturb each
// other or leave items behind.
class Keychain : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        store_ = platform::systemCredentialStore();
        skipReason_ = test::secretStoreUnavailableReason();
    }

    void SetUp() override {
        if (!skipReason_.empty()) GTEST_SKIP() << "keychain tests skipped: " << skipReason_;
    }

    void TearDown() override {
        for (const auto& [s, a] : written_) deleteKeychainItem(*store_, s, a);
    }

    static std::string service(std::string_view name) {
        // Unique to this run, so that runs side by side never touch each other's items.
        static const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
        return "varnel-test-" + std::to_string(run) + "-" + std::string(name);
    }

    void write(const std::string& s, const std::string& a, std::string_view value) {
        written_.emplace_back(s, a);
        writeKeychainItem(*store_, s, a, value);
    }

    std::string read(const std::string& s, const std::string& a) { return readKeychainItem(*store_, s, a); }

    static inline std::shared_ptr<platform::CredentialStore> store_;
    static inline std::string skipReason_;  // empty when the store is reachable
    std::vector<std::pair<std::string, std::string>> written_;
};

TEST_F(Keychain, BytesRoundTripUnchanged) {
    const std::string s = service("bytes");
    const std::string utf8 = "p\xC3\xA4ss \xE2\x82\xAC \xF0\x9F\x94\x92";
    const std::string binary("a\0b\xFF\xFE\x80\xC3(", 8);
    write(s, "utf8", utf8);
    write(s, "binary", binary);
    EXPECT_EQ(read(s, "utf8"), utf8);
    EXPECT_EQ(read(s, "binary"), binary);
}

TEST_F(Keychain, WriteReplacesAndDeleteRemoves) {
    const std::string s = service("replace");
    write(s, "account", "first value");
    write(s, "account", "second");
    EXPECT_EQ(read(s, "account"), "second");
    deleteKeychainItem(*store_, s, "account");
    EXPECT_EQ(read(s, "account"), "");
}

TEST_F(Keychain, MissingItemsReadEmptyAndDeleteQuietly) {
    const std::string s = service("missing");
    EXPECT_EQ(read(s, "nobody"), "");
    EXPECT_NO_THROW(deleteKeychainItem(*store_, s, "nobody"));
    EXPECT_EQ(read(s, "nobody"), "");
}

TEST_F(Keychain, ItemsAreAddressedByTheJoinedTarget) {
    const std::string s = service("joined");
    EXPECT_EQ(keychainTarget(s, "user"), s + "/user");
    write(s + "/a", "b", "value");
    EXPECT_EQ(read(s, "a/b"), "value");
    deleteKeychainItem(*store_, s, "a/b");
    EXPECT_EQ(read(s + "/a", "b"), "");
}

TEST(KeychainWrite, FailureThrowsWithTheSystemCode) {
    test::FakeCredentialStore store;
    store.failWritesWith(1312);
    try {
        writeKeychainItem(store, "svc", "acct", "value");
        FAIL() << "a failed write must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "CredWrite failed (1312)");
    }
    EXPECT_TRUE(store.items().empty());
}

}  // namespace
}  // namespace varnel::storage
