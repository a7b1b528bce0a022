#include "storage/user_defaults.h"

#include "storage/stored_file.h"

namespace varnel::storage {

namespace {

bool keptInName(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

PathText prefFile(const DataFolder& data, std::string_view key) {
    return DataFolder::childPath(data.prefsDir(), platform::utf8ToPathText(prefFileName(key)));
}

}  // namespace

std::string prefFileName(std::string_view key) {
    if (key.empty()) return "pref";
    std::string name(key);
    for (char& c : name)
        if (!keptInName(static_cast<unsigned char>(c))) c = '_';
    return name;
}

void writeUserDefaults(const DataFolder& data, std::string_view key, std::string_view value) {
    writeStoredFile(prefFile(data, key), value);
}

std::string readUserDefaults(const DataFolder& data, std::string_view key) {
    return platform::readWholeFile(prefFile(data, key), kUserDefaultMaxBytes).value_or(std::string());
}

}  // namespace varnel::storage
