#include "platform/credential_store.h"

#include <windows.h>
#include <wincred.h>

#include "platform/text.h"

namespace varnel::platform {

namespace {

class Win32CredentialStore final : public CredentialStore {
public:
    unsigned long write(std::string_view targetUtf8, std::string_view value) override {
        std::u16string target = utf8ToWide(targetUtf8);
        CREDENTIALW credential{};
        credential.Flags = 0;
        credential.Type = CRED_TYPE_GENERIC;
        credential.TargetName = reinterpret_cast<LPWSTR>(target.data());
        credential.CredentialBlobSize = static_cast<DWORD>(value.size());
        // The system only reads the blob; the cast is what the structure's non-const field demands.
        credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<char*>(value.data()));
        // Local machine rather than enterprise: the item must not roam to other machines.
        credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
        if (CredWriteW(&credential, 0)) return 0;
        const DWORD error = GetLastError();
        return error != 0 ? error : 1;  // callers take 0 as success
    }

    std::optional<std::string> read(std::string_view targetUtf8) override {
        const std::u16string target = utf8ToWide(targetUtf8);
        PCREDENTIALW credential = nullptr;
        if (!CredReadW(reinterpret_cast<LPCWSTR>(target.c_str()), CRED_TYPE_GENERIC, 0, &credential) ||
            credential == nullptr) {
            return std::nullopt;
        }
        std::string value;
        if (credential->CredentialBlob != nullptr) {
            value.assign(reinterpret_cast<const char*>(credential->CredentialBlob), credential->CredentialBlobSize);
        }
        CredFree(credential);
        return value;
    }

    void remove(std::string_view targetUtf8) override {
        const std::u16string target = utf8ToWide(targetUtf8);
        // A missing item is the usual failure here and is what the caller wants anyway.
        CredDeleteW(reinterpret_cast<LPCWSTR>(target.c_str()), CRED_TYPE_GENERIC, 0);
    }
};

}  // namespace

std::shared_ptr<CredentialStore> systemCredentialStore() { return std::make_shared<Win32CredentialStore>(); }

}  // namespace varnel::platform
