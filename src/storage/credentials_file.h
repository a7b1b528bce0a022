#pragma once
// auth.txt in a profile's folder: the user name and the password, each followed by a line feed,
// which is the layout OpenVPN's --auth-user-pass reads.

#include <string>
#include <string_view>

#include "bridge/js_value.h"
#include "storage/data_folder.h"

namespace varnel::storage {

inline constexpr const char* kAuthFileNotFound = "Auth file not found";

// The file's path; creates the profile folder (also when the file is only to be read).
PathText authFile(const DataFolder& data, std::string_view profileId);

// Replaces path with the two lines, atomically (never writing through a link); a failed write is
// not reported.
void writeAuthFile(const PathText& path, std::string_view username, std::string_view password);
// The same, throwing "Could not write FILE: REASON" when the write fails.
void saveOvpnAuth(const DataFolder& data, std::string_view profileId, std::string_view username, std::string_view password);
// {"username", "password"}; throws std::runtime_error(kAuthFileNotFound) when the file cannot be read,
// is not a regular file, is a link, or is larger than any credentials file.
bridge::JSValueObject readOvpnAuth(const DataFolder& data, std::string_view profileId);

}  // namespace varnel::storage
