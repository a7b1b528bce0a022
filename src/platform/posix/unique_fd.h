#pragma once
// A file descriptor's owner, and reading one to its end. None is -1, what the system calls return on
// failure, so a call's result can be owned as it is.

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/unique_resource.h"

namespace varnel::platform {

struct FdTraits {
    using Native = int;
    static constexpr int none() { return -1; }
    static void close(int fd) { ::close(fd); }
};

using UniqueFd = UniqueResource<FdTraits>;

// Reads until end of file, reading on after an interrupted call; a failed read ends with what came
// before it.
inline std::string readToEnd(const UniqueFd& fd) {
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace varnel::platform
