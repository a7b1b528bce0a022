#pragma once
// Small helpers many tests share: argument lists, a file's bytes written and read, a rejection's message.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "bridge/js_value.h"
#include "support/test_host.h"

namespace varnel::test {

inline bridge::JSValue args(std::initializer_list<bridge::JSValue> items) { return bridge::JSValue(bridge::JSValueArray(items)); }

inline void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Empty when the file cannot be read.
inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The rejection message of a settlement, or "" when it resolved.
inline std::string rejectionMessage(const Settlement& s) {
    return s.resolved ? std::string() : *s.value.asObject()->find("message")->asString();
}

}  // namespace varnel::test
