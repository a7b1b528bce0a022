#pragma once
// The one rule for the names the interface gives the profile store: a profile id names one folder
// inside the profiles folder, and a file name one file inside a profile folder, on every build.

#include <string_view>

namespace varnel::storage {

// A name is plain when it is not empty; holds no "/", "\", ":", quote or control character (NUL,
// line feeds and DEL included); and does not end in a dot or a space, which Windows drops, so that
// ".", "..", "..." and " " would name the folder above or the folder itself.
bool isPlainName(std::string_view name);

// Throw Rejection("Invalid profile id: " + id) / ("Invalid file name: " + name) for a name that is
// not plain, before anything is created or read.
void checkProfileId(std::string_view id);
void checkFileName(std::string_view name);

}  // namespace varnel::storage
