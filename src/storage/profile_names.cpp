#include "storage/profile_names.h"

#include <string>

#include "bridge/rejection.h"

namespace varnel::storage {

bool isPlainName(std::string_view name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        // A quote would end the name's quoted place in OpenVPN's command line.
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':' || c == '"') return false;
    }
    return true;
}

void checkProfileId(std::string_view id) {
    if (!isPlainName(id)) throw bridge::Rejection("Invalid profile id: " + std::string(id));
}

void checkFileName(std::string_view name) {
    if (!isPlainName(name)) throw bridge::Rejection("Invalid file name: " + std::string(name));
}

}  // namespace varnel::storage
