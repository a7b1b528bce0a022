#include "storage/fs_error.h"

#include <string>

namespace varnel::storage {

namespace {
std::string message(std::string_view operation, std::error_code error, const platform::PathText& path) {
    return std::string(operation) + ": " + error.message() + ": \"" + platform::pathTextForMessage(path) + "\"";
}
}  // namespace

FsError::FsError(std::string_view operation, std::error_code error, const platform::PathText& path)
    : std::runtime_error(message(operation, error, path)) {}

}  // namespace varnel::storage
