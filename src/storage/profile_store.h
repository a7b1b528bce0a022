#pragma once
// The profile store: one folder per profile id under the profiles folder, holding the configuration
// file the interface names and the metadata text meta.json, both kept as opaque bytes.

#include <string_view>

#include "bridge/js_value.h"
#include "storage/data_folder.h"

namespace varnel::storage {

// Every method that takes a profile id or a file name throws Rejection for one that is not plain
// (storage/profile_names.h) before touching the disk; a write that fails throws
// "Could not write FILE: REASON" and leaves the old content.

// Stores the configuration bytes under fileName; returns {"configPath", "fileName"}.
bridge::JSValueObject saveOvpnProfile(const DataFolder& data, std::string_view profileId, std::string_view content,
                              std::string_view fileName);
void saveOvpnProfileMeta(const DataFolder& data, std::string_view profileId, std::string_view metaJson);
// Every profile folder that holds a readable meta.json, as {"_raw": text}, in listing order. Never
// throws: an entry that cannot be read is skipped, a failed listing ends the walk, and what was
// gathered is the answer.
bridge::JSValueArray listSavedOvpnProfiles(const DataFolder& data);
// Removes the profile's folder with everything in it.
void deleteOvpnProfile(const DataFolder& data, std::string_view profileId);

}  // namespace varnel::storage
