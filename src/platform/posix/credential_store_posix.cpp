#include "platform/credential_store.h"

#include <libsecret/secret.h>

#include "platform/text.h"

namespace varnel::platform {

namespace {

// Items are addressed by one attribute holding the whole target, so that the addressing is the
// same as the single target name on Windows.
const SecretSchema* keychainSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.varnel.Keychain";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"target", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {nullptr, SecretSchemaAttributeType(0)};
        return s;
    }();
    return &schema;
}

// Attribute values travel over D-Bus as strings and must be valid UTF-8. Ill-formed sequences are
// replaced the way the Windows conversion replaces them, so both systems address the same item.
std::string attributeText(std::string_view targetUtf8) { return wideToUtf8(utf8ToWide(targetUtf8)); }

unsigned long errorCode(GError* error) {
    const unsigned long code = error != nullptr ? static_cast<unsigned long>(error->code) : 0;
    return code != 0 ? code : 1;  // callers take 0 as success
}

class SecretServiceCredentialStore final : public CredentialStore {
public:
    unsigned long write(std::string_view targetUtf8, std::string_view value) override {
        const std::string target = attributeText(targetUtf8);
        // A default-constructed view has no buffer; libsecret copies from whatever pointer it gets.
        const char* bytes = value.data() != nullptr ? value.data() : "";
        SecretValue* secret =
            secret_value_new(bytes, static_cast<gssize>(value.size()), "application/octet-stream");
        GError* error = nullptr;
        const gboolean stored =
            secret_password_store_binary_sync(keychainSchema(), SECRET_COLLECTION_DEFAULT, "Varnel keychain item",
                                              secret, nullptr, &error, "target", target.c_str(), nullptr);
        secret_value_unref(secret);
        unsigned long result = 0;
        if (!stored) result = errorCode(error);
        if (error != nullptr) g_error_free(error);
        return result;
    }

    std::optional<std::string> read(std::string_view targetUtf8) override {
        const std::string target = attributeText(targetUtf8);
        GError* error = nullptr;
        SecretValue* secret =
            secret_password_lookup_binary_sync(keychainSchema(), nullptr, &error, "target", target.c_str(), nullptr);
        if (error != nullptr) g_error_free(error);
        if (secret == nullptr) return std::nullopt;
        gsize length = 0;
        const gchar* bytes = secret_value_get(secret, &length);
        std::optional<std::string> value(std::in_place, bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0);
        secret_value_unref(secret);
        return value;
    }

    void remove(std::string_view targetUtf8) override {
        const std::string target = attributeText(targetUtf8);
        GError* error = nullptr;
        secret_password_clear_sync(keychainSchema(), nullptr, &error, "target", target.c_str(), nullptr);
        if (error != nullptr) g_error_free(error);
    }
};

}  // namespace

std::shared_ptr<CredentialStore> systemCredentialStore() { return std::make_shared<SecretServiceCredentialStore>(); }

}  // namespace varnel::platform
