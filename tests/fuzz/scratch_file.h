#pragma once
// A file of the fuzz target's own in the temporary folder, for the readers that take a path. It is
// removed when the target exits normally; scripts/fuzz runs targets in a temporary folder of its own.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz_check.h"
#include "platform/files.h"

namespace varnel::fuzz {

class ScratchFile {
public:
    explicit ScratchFile(std::string_view name)
        : path_(std::filesystem::temp_directory_path() /
                ("varnel-fuzz-" + std::to_string(::getpid()) + "-" + std::string(name))) {}
    ~ScratchFile() { remove(); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const platform::PathText& path() const { return path_.native(); }
    // Removed before each write, so that the write makes a new file: rewriting one in place makes
    // ext4 flush it at close, a hundred times slower.
    void remove() const {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    void write(std::string_view bytes) const {
        remove();
        require(platform::writeWholeFile(path_.native(), bytes), "scratch file written");
    }

private:
    std::filesystem::path path_;
};

}  // namespace varnel::fuzz
