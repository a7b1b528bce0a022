#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/unique_fd.h"
#include "platform/temporary_name.h"

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

namespace {

std::string errorText(int error) { return std::generic_category().message(error); }

// 0 when every byte is written, else the error.
int writeAll(int fd, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

std::optional<std::string> replaceWholeFile(const PathText& path, std::string_view bytes) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string temporary;
    int fd = -1;
    // A name taken by chance (or by a leftover) is passed over; exclusive creation never reuses a file.
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = folder + temporaryFileName(static_cast<unsigned long>(::getpid()));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && (errno != EEXIST || attempt == 16)) return errorText(errno);
    }
    int error = writeAll(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    // rename replaces a link, a FIFO or a device at path itself, and never writes through it.
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error == 0) return std::nullopt;
    ::unlink(temporary.c_str());
    return errorText(error);
}

std::optional<std::string> readWholeFile(const PathText& path, std::size_t maxBytes, FinalLink link) {
    // Non-blocking, so that opening a FIFO does not wait for a writer; it is refused below.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (link == FinalLink::Refuse) flags |= O_NOFOLLOW;
    const UniqueFd fd(::open(path.c_str(), flags));
    if (fd.get() < 0) return std::nullopt;
    // A folder opens for reading here but not on Windows; it too counts as a file that cannot be opened.
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    // The size is counted while reading: files under /proc and /sys report none.
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        if (static_cast<std::size_t>(n) > maxBytes - bytes.size()) return std::nullopt;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace varnel::platform
