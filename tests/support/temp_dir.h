#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <filesystem>

#include "platform/process_list.h"
#include "platform/temporary_name.h"

namespace varnel::test {

class TempDir {
public:
    TempDir() : path_(std::filesystem::temp_directory_path() / platform::temporaryFileName(platform::currentProcessId())) {
        std::filesystem::create_directory(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace varnel::test
