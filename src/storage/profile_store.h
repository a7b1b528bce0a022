#pragma once
// The profile store: one folder per profile id under the profiles folder, holding the configuration
// file the interface names and the metadata text meta.json, both kept as opaque bytes.

#include <string_view>

#include "bridge/js_value.h"
#include "storage/data_folder.h"

namespace varnel::storage {

// Stores the configuration bytes under fileName; returns {"configPath", "fileName"}.
JSValueObject saveOvpnProfile(const DataFolder& data, std::string_view profileId, std::string_view content,
                              std::string_view fileName);
void saveOvpnProfileMeta(const DataFolder& data, std::string_view profileId, std::string_view metaJson);
// Every profile folder that holds meta.json, as {"_raw": text}, in listing order. Never throws: a
// failure ends the walk and what was gathered is the answer.
JSValueArray listSavedOvpnProfiles(const DataFolder& data);
// Removes the profile's folder with everything in it. Throws Rejection for an id that
// could name anything but one folder inside the profiles folder, before touching the disk.
void deleteOvpnProfile(const DataFolder& data, std::string_view profileId);

}  // namespace varnel::storage
