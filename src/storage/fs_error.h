#pragma once
// The error of a failed folder operation. We build its message ourselves, in one form on every build:
// operation, ": ", the system's message, ": ", the path in double quotes.

#include <stdexcept>
#include <string_view>
#include <system_error>

#include "platform/files.h"

namespace varnel::storage {

class FsError : public std::runtime_error {
public:
    FsError(std::string_view operation, std::error_code error, const platform::PathText& path);
};

}  // namespace varnel::storage
