#include "storage/keychain.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/fake_credential_store.h"

// What the keychain adds to a credential store; the stores themselves, the build's real one
// included, are held to one contract in tests/platform/contract_test.cpp.

namespace varnel::storage {
namespace {

TEST(Keychain, ItemsAreAddressedByTheJoinedTargetAndAMissingOneReadsEmpty) {
    test::FakeCredentialStore store;
    EXPECT_EQ(keychainTarget("svc", "user"), "svc/user");
    writeKeychainItem(store, "svc/a", "b", "value");
    EXPECT_EQ(readKeychainItem(store, "svc", "a/b"), "value");
    deleteKeychainItem(store, "svc", "a/b");
    EXPECT_EQ(readKeychainItem(store, "svc/a", "b"), "");
}

TEST(Keychain, AFailedWriteThrowsWithTheSystemCode) {
    test::FakeCredentialStore store;
    store.failWritesWith(1312);
    try {
        writeKeychainItem(store, "svc", "acct", "value");
        FAIL() << "a failed write must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "CredWrite failed (1312)");
    }
    EXPECT_EQ(store.read("svc/acct"), std::nullopt);
}

}  // namespace
}  // namespace varnel::storage
