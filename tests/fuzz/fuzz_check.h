#pragma once
// What the fuzz targets share.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.h"

namespace varnel::fuzz {

// A property a target holds its code to. A broken one aborts, which libFuzzer reports as a crash and
// keeps the input that caused it.
inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

// Logs and configuration files come from Windows editors too: the text with every line feed replaced.
inline std::string withLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    for (const char c : text) c == '\n' ? void(out.append(lineEnd)) : out.push_back(c);
    return out;
}

// A file of the target's own for the readers that take a path, in its temporary folder (scripts/fuzz
// gives each target one), gone when the target exits. Removed before each write so that the write
// makes a new file: replacing one makes ext4 flush it, a hundred times slower.
inline const platform::PathText& scratchPath() {
    static const struct Scratch {
        std::filesystem::path path = std::filesystem::temp_directory_path() / ("varnel-fuzz-" + std::to_string(::getpid()));
        void remove() const { std::error_code ignored; std::filesystem::remove(path, ignored); }
        ~Scratch() { remove(); }
    } scratch;
    scratch.remove();
    return scratch.path.native();
}

inline const platform::PathText& scratchFile(std::string_view bytes) {
    const platform::PathText& path = scratchPath();
    require(platform::writeWholeFile(path, bytes), "scratch file written");
    return path;
}

}  // namespace varnel::fuzz
