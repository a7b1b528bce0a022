#include "storage/data_folder.h"

#include "storage/fs_error.h"
#include "storage/profile_names.h"

namespace varnel::storage {

DataFolder::DataFolder(const PathText& localDataFolder) : root_(child(localDataFolder, "VarnelMac")) {}

PathText DataFolder::childPath(const PathText& folder, const PathText& name) {
    PathText path = folder;
    path += platform::kPathSeparator;
    path += name;
    return path;
}

PathText DataFolder::child(const PathText& folder, std::string_view name) { return childPath(folder, platform::widenBytes(name)); }

PathText DataFolder::created(PathText folder) {
    if (std::error_code error = platform::createDirectories(folder)) throw FsError("create_directories", error, folder);
    return folder;
}

PathText DataFolder::profilesDir() const { return created(child(root_, "profiles")); }

PathText DataFolder::profileDir(std::string_view profileId) const {
    checkProfileId(profileId);
    return created(child(child(root_, "profiles"), profileId));
}

PathText DataFolder::prefsDir() const { return created(child(root_, "prefs")); }

}  // namespace varnel::storage
