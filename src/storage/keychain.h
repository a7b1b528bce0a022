#pragma once
// Secrets kept by the interface, each addressed by a service and an account name.

#include <string>
#include <string_view>

#include "platform/credential_store.h"

namespace varnel::storage {

// service + "/" + account, unescaped: the interface's existing items are stored under this text, so
// ("a/b", "c") and ("a", "b/c") are deliberately the same item.
std::string keychainTarget(std::string_view service, std::string_view account);

// Replaces any earlier value. Throws std::runtime_error carrying the system's error code.
void writeKeychainItem(platform::CredentialStore& store, std::string_view service, std::string_view account,
                       std::string_view value);
// The stored bytes, or "" when there is no such item or it cannot be read.
std::string readKeychainItem(platform::CredentialStore& store, std::string_view service, std::string_view account);
// Succeeds whether or not the item exists.
void deleteKeychainItem(platform::CredentialStore& store, std::string_view service, std::string_view account);

}  // namespace varnel::storage
