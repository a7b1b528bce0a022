#pragma once
// The per-user secret store: one string target, an opaque byte value, replace on write.
// The Windows Credential Manager on Windows; the Secret Service on Linux.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace varnel::platform {

class CredentialStore {
public:
    virtual ~CredentialStore() = default;
    // Writes or replaces the item. Returns 0 on success, else the system's numeric error code
    // (never 0 on failure).
    virtual unsigned long write(std::string_view targetUtf8, std::string_view value) = 0;
    // The item's bytes unchanged; empty when there is no such item or it cannot be read.
    virtual std::optional<std::string> read(std::string_view targetUtf8) = 0;
    // Removes the item if there is one; failures are not reported.
    virtual void remove(std::string_view targetUtf8) = 0;
};

std::shared_ptr<CredentialStore> systemCredentialStore();

}  // namespace varnel::platform
