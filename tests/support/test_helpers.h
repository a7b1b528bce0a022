#pragma once
// Small helpers many tests share: an argument list from values, and a file's bytes written and read.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "bridge/js_value.h"

namespace varnel::test {

inline JSValue args(std::initializer_list<JSValue> items) { return JSValue(JSValueArray(items)); }

// Creates or replaces the file with the bytes.
inline void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The file's bytes; empty when it cannot be read.
inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace varnel::test
