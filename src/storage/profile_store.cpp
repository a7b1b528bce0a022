#include "storage/profile_store.h"

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bridge/rejection.h"
#include "storage/fs_error.h"
#include "storage/text_mode.h"

namespace varnel::storage {

namespace fs = std::filesystem;

namespace {

// An id that is empty, "." or "..", or holds a separator, a drive colon or a NUL names the profiles
// folder itself or something outside it.
bool isSingleFolderName(std::string_view id) {
    return !id.empty() && id != "." && id != ".." && id.find_first_of(std::string_view("/\\:\0", 4)) == std::string_view::npos;
}

}  // namespace

JSValueObject saveOvpnProfile(const DataFolder& data, std::string_view profileId, std::string_view content,
                              std::string_view fileName) {
    const PathText path = DataFolder::child(data.profileDir(profileId), fileName);
    platform::writeWholeFile(path, content);  // a file that cannot be written is not reported
    return JSValueObject{{"configPath", JSValue(platform::narrowUnits(path))}, {"fileName", JSValue(fileName)}};
}

void saveOvpnProfileMeta(const DataFolder& data, std::string_view profileId, std::string_view metaJson) {
    platform::writeWholeFile(DataFolder::child(data.profileDir(profileId), "meta.json"), metaJson);
}

JSValueArray listSavedOvpnProfiles(const DataFolder& data) {
    // Any failure (creating the folder, listing it, a status query) ends the walk; the listing then
    // answers with what it has gathered.
    JSValueArray profiles;
    PathText root;
    try {
        root = data.profilesDir();
    } catch (const FsError&) {
        return profiles;
    }
    std::error_code error;
    for (fs::directory_iterator it(fs::path(root), error), end; !error && it != end; it.increment(error)) {
        const bool isFolder = fs::is_directory(it->status(error));
        if (error) break;
        if (!isFolder) continue;
        const PathText meta = DataFolder::child(it->path().native(), "meta.json");
        const bool hasMeta = fs::exists(fs::path(meta), error);
        if (error) break;
        if (!hasMeta) continue;
        // A meta.json that cannot be opened still lists the profile, with an empty text.
        const std::string bytes = platform::readWholeFile(meta).value_or(std::string());
        profiles.push_back(JSValue(JSValueObject{{"_raw", JSValue(foldCrLf(untilCtrlZ(bytes)))}}));
    }
    return profiles;
}

void deleteOvpnProfile(const DataFolder& data, std::string_view profileId) {
    if (!isSingleFolderName(profileId)) throw Rejection("Invalid profile id: " + std::string(profileId));
    const PathText folder = data.profileDir(profileId);
    std::error_code error;
    fs::remove_all(fs::path(folder), error);
    if (error) throw FsError("remove_all", error, folder);
}

}  // namespace varnel::storage
