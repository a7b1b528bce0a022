#pragma once
// AppDataRoot and the one list of what the system keeps below it. Paths are plain concatenations of
// path text; folders are created (with every missing level) when a path that needs them is asked for.
// Immutable after construction, so any thread may use it.

#include <string_view>

#include "platform/files.h"

namespace varnel::storage {

using platform::PathText;

class DataFolder {
public:
    // localDataFolder is the user's local application-data folder; AppDataRoot lies inside it.
    explicit DataFolder(const PathText& localDataFolder);

    // AppDataRoot itself; never created on its own.
    const PathText& root() const { return root_; }

    // The profiles folder, created if missing. Throws FsError("create_directories").
    PathText profilesDir() const;
    // One profile's folder (the id's bytes as path text), created if missing. Throws Rejection for an
    // id that is not one plain folder name (storage/profile_names.h), before creating anything, and
    // FsError.
    PathText profileDir(std::string_view profileId) const;
    // The user defaults folder, created if missing. Throws FsError.
    PathText prefsDir() const;

    // Files directly in AppDataRoot; asking for them creates nothing.
    PathText activeRecordFile() const { return child(root_, "active.txt"); }
    PathText killSwitchRecordFile() const { return child(root_, "killswitch.txt"); }
    // The management interface's password for the running OpenVPN; only its owner may read it.
    PathText managementSecretFile() const { return child(root_, "management.txt"); }

    // folder + separator + name, where name is bytes (ASCII names are the same on every build).
    static PathText child(const PathText& folder, std::string_view name);
    // folder + separator + name, where name is already path text.
    static PathText childPath(const PathText& folder, const PathText& name);

private:
    static PathText created(PathText folder);

    PathText root_;
};

}  // namespace varnel::storage
