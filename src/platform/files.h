#pragma once
// Paths and whole-file access for the data folder. Path text is what the system's file calls take:
// UTF-16 units on Windows, bytes on Linux.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace varnel::platform {

using PathText = std::filesystem::path::string_type;
using PathChar = PathText::value_type;

// The separator that joins path text ("\" on Windows, "/" on Linux).
extern const PathChar kPathSeparator;

// The user's local (not roaming) application-data folder; empty when the system cannot say.
PathText localDataFolder();

// Profile ids and file names become path text byte by byte: on Windows each byte is one UTF-16 unit,
// sign-extended; on Linux the bytes themselves. narrowUnits keeps the low 8 bits of each unit, so
// narrowUnits(widenBytes(s)) == s for any bytes s.
PathText widenBytes(std::string_view bytes);
std::string narrowUnits(const PathText& text);

// UTF-8 text as path text (UTF-16 on Windows, the bytes on Linux).
PathText utf8ToPathText(std::string_view utf8);
// Path text as UTF-8 (the command lines we build are UTF-8 text).
std::string pathTextToUtf8(const PathText& text);
// Path text as error messages carry it: the system's ANSI code page on Windows, the bytes on Linux.
std::string pathTextForMessage(const PathText& text);

// Creates the folder and every missing level above it. On Linux each level it creates is 0700.
std::error_code createDirectories(const PathText& path);

// Replaces the file's content with the bytes, atomically: they go to a fresh temporary file in the
// same folder (created exclusively; 0600 on Linux), which is flushed to the disk and renamed over
// the file. Readers see the old bytes or the new ones, never a mix; a failed write leaves the old
// content and no temporary file; a link in the file's place is replaced, not followed. Returns
// nothing when written, else the system's text for what failed (such as "No space left on device").
std::optional<std::string> replaceWholeFile(const PathText& path, std::string_view bytes);
// The same for writers that do not report a failure.
inline bool writeWholeFile(const PathText& path, std::string_view bytes) { return !replaceWholeFile(path, bytes); }

// Whether anything is at path (a link counts by its target); false when the system cannot say.
inline bool entryExists(const PathText& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::path(path), ignored);
}
// Removes the file (a link itself, never its target) if there is one. Failures are not reported:
// every caller goes on the same way, and a later write replaces the file anyway.
inline void removeFileQuietly(const PathText& path) {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(path), ignored);
}

inline constexpr std::size_t kAnyFileSize = static_cast<std::size_t>(-1);
// Whether a link in the last component of a path is followed (secrets are never read through one).
enum class FinalLink { Follow, Refuse };

// The bytes of a regular file, unchanged. Nothing when it cannot be opened, is not a regular file (a
// folder, FIFO or device: these are never waited on), holds more than maxBytes, or is a link that
// is to be refused.
std::optional<std::string> readWholeFile(const PathText& path, std::size_t maxBytes = kAnyFileSize,
                                         FinalLink link = FinalLink::Follow);

}  // namespace varnel::platform
