#include "storage/stored_file.h"

#include <stdexcept>
#include <string>

namespace varnel::storage {

void writeStoredFile(const platform::PathText& path, std::string_view bytes) {
    if (const auto failure = platform::replaceWholeFile(path, bytes))
        throw std::runtime_error("Could not write " + platform::pathTextForMessage(path) + ": " + *failure);
}

}  // namespace varnel::storage
