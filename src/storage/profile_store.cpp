#include "storage/profile_store.h"

#include <filesystem>
#include <string>

#include "storage/fs_error.h"
#include "storage/profile_names.h"
#include "storage/stored_file.h"
#include "storage/text_mode.h"

namespace varnel::storage {

namespace fs = std::filesystem;

bridge::JSValueObject saveOvpnProfile(const DataFolder& data, std::string_view profileId, std::string_view content,
                              std::string_view fileName) {
    checkProfileId(profileId);
    checkFileName(fileName);
    const PathText path = DataFolder::child(data.profileDir(profileId), fileName);
    writeStoredFile(path, content);
    return bridge::JSValueObject{{"configPath", bridge::JSValue(platform::narrowUnits(path))}, {"fileName", bridge::JSValue(fileName)}};
}

void saveOvpnProfileMeta(const DataFolder& data, std::string_view profileId, std::string_view metaJson) {
    writeStoredFile(DataFolder::child(data.profileDir(profileId), "meta.json"), metaJson);
}

bridge::JSValueArray listSavedOvpnProfiles(const DataFolder& data) {
    // A failure to create or list the folder ends the walk, and the listing answers with what it has
    // gathered. One entry it cannot read (a dangling link, a FIFO, a device or an oversized meta.json) is
    // skipped, so that it never hides the profiles after it.
    bridge::JSValueArray profiles;
    PathText root;
    try {
        root = data.profilesDir();
    } catch (const FsError&) {
        return profiles;
    }
    std::error_code error;
    for (fs::directory_iterator it(fs::path(root), error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        if (!fs::is_directory(it->status(entryError))) continue;
        const auto bytes = platform::readWholeFile(DataFolder::child(it->path().native(), "meta.json"), kMetaJsonMaxBytes);
        if (!bytes) continue;
        profiles.push_back(bridge::JSValue(bridge::JSValueObject{{"_raw", bridge::JSValue(foldCrLf(untilCtrlZ(*bytes)))}}));
    }
    return profiles;
}

void deleteOvpnProfile(const DataFolder& data, std::string_view profileId) {
    const PathText folder = data.profileDir(profileId);
    std::error_code error;
    fs::remove_all(fs::path(folder), error);
    if (error) throw FsError("remove_all", error, folder);
}

}  // namespace varnel::storage
