#include "storage/keychain.h"

#include <stdexcept>

namespace varnel::storage {

std::string keychainTarget(std::string_view service, std::string_view account) {
    std::string target;
    target.reserve(service.size() + 1 + account.size());
    target.append(service).append("/").append(account);
    return target;
}

void writeKeychainItem(platform::CredentialStore& store, std::string_view service, std::string_view account,
                       std::string_view value) {
    const unsigned long code = store.write(keychainTarget(service, account), value);
    // One message on every system, so that the interface's handling of it does not depend on the platform.
    if (code != 0) throw std::runtime_error("CredWrite failed (" + std::to_string(code) + ")");
}

std::string readKeychainItem(platform::CredentialStore& store, std::string_view service, std::string_view account) {
    return store.read(keychainTarget(service, account)).value_or(std::string());
}

void deleteKeychainItem(platform::CredentialStore& store, std::string_view service, std::string_view account) {
    store.remove(keychainTarget(service, account));
}

}  // namespace varnel::storage
