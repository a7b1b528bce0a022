#pragma once
// User defaults: one file per key in the prefs folder, holding the value's bytes and nothing else.

#include <string>
#include <string_view>

#include "storage/data_folder.h"

namespace varnel::storage {

// Each byte that is not an ASCII letter or digit, "_", "-" or "." becomes "_"; the empty key is
// "pref". Keys that differ only in replaced bytes share a file.
std::string prefFileName(std::string_view key);

// Throws "Could not write FILE: REASON" when the value cannot be stored; the old value then stays.
void writeUserDefaults(const DataFolder& data, std::string_view key, std::string_view value);
// The stored bytes; "" when the key was never written or its file cannot be read (not a regular
// file, or larger than 16 MiB).
std::string readUserDefaults(const DataFolder& data, std::string_view key);

}  // namespace varnel::storage
