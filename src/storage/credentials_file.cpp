#include "storage/credentials_file.h"

#include <algorithm>
#include <stdexcept>

#include "storage/stored_file.h"
#include "storage/text_mode.h"

namespace varnel::storage {

PathText authFile(const DataFolder& data, std::string_view profileId) {
    return DataFolder::child(data.profileDir(profileId), "auth.txt");
}

namespace {

std::string authFileBytes(std::string_view username, std::string_view password) {
    std::string bytes;
    bytes.reserve(username.size() + password.size() + 2);
    bytes.append(username).append("\n").append(password).append("\n");
    return bytes;
}

}  // namespace

void writeAuthFile(const PathText& path, std::string_view username, std::string_view password) {
    platform::writeWholeFile(path, authFileBytes(username, password));  // a failed write is not reported
}

void saveOvpnAuth(const DataFolder& data, std::string_view profileId, std::string_view username, std::string_view password) {
    writeStoredFile(authFile(data, profileId), authFileBytes(username, password));
}

bridge::JSValueObject readOvpnAuth(const DataFolder& data, std::string_view profileId) {
    // Never read through a link: it could point at another user's secret.
    const auto bytes = platform::readWholeFile(authFile(data, profileId), kAuthFileMaxBytes, platform::FinalLink::Refuse);
    if (!bytes) throw std::runtime_error(kAuthFileNotFound);
    const std::string text = foldCrLf(*bytes);
    // The first two lines; a line that is not there reads as empty, and what follows is ignored.
    const std::size_t firstEnd = std::min(text.find('\n'), text.size());
    const std::string username = text.substr(0, firstEnd);
    const std::string rest = firstEnd < text.size() ? text.substr(firstEnd + 1) : std::string();
    const std::string password = rest.substr(0, rest.find('\n'));
    return bridge::JSValueObject{{"username", bridge::JSValue(username)}, {"password", bridge::JSValue(password)}};
}

}  // namespace varnel::storage
