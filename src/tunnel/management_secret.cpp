#include "tunnel/management_secret.h"

#include <random>

namespace varnel::tunnel {

std::string newManagementSecret() {
    std::random_device source;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string secret;
    for (int i = 0; i < 32; ++i) secret.push_back(kDigits[source() % 16]);
    return secret;
}

bool writeManagementSecret(const platform::PathText& file, const std::string& secret) {
    return platform::writeWholeFile(file, secret + "\n");
}

std::string readManagementSecret(const platform::PathText& file) {
    std::string text = platform::readWholeFile(file).value_or(std::string());
    const std::size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace varnel::tunnel
