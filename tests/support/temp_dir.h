#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

namespace varnel::test {

class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        do {
            path_ = std::filesystem::temp_directory_path() / ("varnel-test-" + stamp + "-" + std::to_string(counter++));
        } while (!std::filesystem::create_directory(path_));
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
