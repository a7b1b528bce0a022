#pragma once
// The files that module methods keep for the interface: written atomically with a failure reported,
// read only when they are regular files no larger than anything the system would write there.

#include <cstddef>
#include <string_view>

#include "platform/files.h"

namespace varnel::storage {

inline constexpr std::size_t kMetaJsonMaxBytes = std::size_t{1} << 20;
inline constexpr std::size_t kAuthFileMaxBytes = std::size_t{1} << 20;
inline constexpr std::size_t kUserDefaultMaxBytes = std::size_t{16} << 20;

// Replaces the file's content atomically. Throws std::runtime_error("Could not write FILE: REASON")
// when it cannot; the old content then stays as it was.
void writeStoredFile(const platform::PathText& path, std::string_view bytes);

}  // namespace varnel::storage
