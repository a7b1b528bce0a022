#pragma once
// What the fuzz targets share: each defines varnel::fuzz::fuzzOne, which gets libFuzzer's input as text.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/text.h"

namespace varnel::fuzz {

void fuzzOne(std::string_view text);

// A broken property aborts, which libFuzzer reports as a crash and keeps the input that caused it.
inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

// Well-formed text is exactly what survives the trip between UTF-8 and UTF-16 unchanged.
inline bool wellFormed(const std::string& utf8) { return platform::wideToUtf8(platform::utf8ToWide(utf8)) == utf8; }
inline bool wellFormed(std::u16string_view utf16) { return platform::utf8ToWide(platform::wideToUtf8(utf16)) == utf16; }

// Logs and configuration files come from Windows editors too: the text with every line feed replaced.
inline std::string withLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    for (const char c : text) c == '\n' ? void(out.append(lineEnd)) : out.push_back(c);
    return out;
}

// A file in the target's temporary folder (scripts/fuzz gives each run its own, removed at the end);
// unlinked before each write, since replacing a file makes ext4 flush it, far slower.
inline const platform::PathText& scratchPath() {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() / ("varnel-fuzz-" + std::to_string(::getpid()));
    ::unlink(path.c_str());
    return path.native();
}

inline const platform::PathText& scratchFile(std::string_view bytes) {
    const platform::PathText& path = scratchPath();
    require(platform::writeWholeFile(path, bytes), "scratch file written");
    return path;
}

}  // namespace varnel::fuzz

// Each target is one translation unit: the entry point is defined once per target.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnel::fuzz::fuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
