#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/unique_fd.h"

namespace varnel::platform {

const PathChar kPathSeparator = '/';

PathText localDataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') return data;
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share";
    return {};
}

PathText widenBytes(std::string_view bytes) { return PathText(bytes); }
std::string narrowUnits(const PathText& text) { return text; }
PathText utf8ToPathText(std::string_view utf8) { return PathText(utf8); }
std::string pathTextToUtf8(const PathText& text) { return text; }
std::string pathTextForMessage(const PathText& text) { return text; }

std::error_code createDirectories(const PathText& path) {
    // Level by level, so that every folder we create is private to the user from its first moment.
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string level = path.substr(0, end);
        if (!level.empty() && level.back() != '/' && ::mkdir(level.c_str(), 0700) != 0) {
            const int error = errno;
            if (error != EEXIST) return std::error_code(error, std::generic_category());
            struct stat st;
            if (::stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::not_a_directory);
        }
        if (end == std::string::npos) return {};
    }
}

bool writeWholeFile(const PathText& path, std::string_view bytes) {
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.valid()) return false;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> readWholeFile(const PathText& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    // A folder opens for reading here but not on Windows; treat it as a file that cannot be opened.
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
    return readToEnd(fd);
}

}  // namespace varnel::platform
