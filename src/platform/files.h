#pragma once
// Paths and whole-file access for the data folder. Path text is what the system's file calls take:
// UTF-16 units on Windows, bytes on Linux.

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

// Creates or truncates the file and writes the bytes unchanged; false when it cannot. On Linux a new
// file is 0600.
bool writeWholeFile(const PathText& path, std::string_view bytes);
// The file's bytes unchanged; empty when it cannot be opened.
std::optional<std::string> readWholeFile(const PathText& path);

}  // namespace varnel::platform
