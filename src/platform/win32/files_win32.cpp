#include "platform/files.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "platform/temporary_name.h"
#include "platform/text.h"

namespace varnel::platform {

const PathChar kPathSeparator = L'\\';

PathText localDataFolder() {
    // The call's result is not checked: on failure the buffer stays zero-filled and the folder empty.
    wchar_t buffer[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, buffer);
    return buffer;
}

PathText widenBytes(std::string_view bytes) {
    PathText text;
    text.reserve(bytes.size());
    for (char c : bytes) text += static_cast<wchar_t>(static_cast<signed char>(c));
    return text;
}

std::string narrowUnits(const PathText& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t unit : text) bytes += static_cast<char>(unit & 0xFF);
    return bytes;
}

PathText utf8ToPathText(std::string_view utf8) {
    const std::u16string wide = utf8ToWide(utf8);
    return PathText(wide.begin(), wide.end());
}

std::string pathTextToUtf8(const PathText& text) {
    return wideToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string pathTextForMessage(const PathText& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::error_code createDirectories(const PathText& path) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path), ec);
    return ec;
}

namespace {

std::string errorText(DWORD error) { return std::system_category().message(static_cast<int>(error)); }

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now; false when closing failed.
    bool close() {
        const bool closed = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

// ERROR_SUCCESS when every byte is written, else the error.
DWORD writeAll(HANDLE file, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return ERROR_SUCCESS;
}

// A file that anyone holds open cannot be replaced on Windows, however it was shared: the rename
// then fails as access denied. Readers hold our files only for a moment, so the rename is tried
// again for a while (about a second) before the write counts as failed. The rename replaces a link
// at path itself; it never writes through one.
DWORD renameOver(const PathText& temporary, const PathText& path) {
    constexpr int kRenameAttempts = 100;
    constexpr DWORD kRenamePauseMs = 10;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        // A folder in the file's place is no passing matter.
        if (!held || attempt == kRenameAttempts || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
            return error;
        Sleep(kRenamePauseMs);
    }
}

}  // namespace

std::optional<std::string> replaceWholeFile(const PathText& path, std::string_view bytes) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const PathText folder = slash == PathText::npos ? PathText() : path.substr(0, slash + 1);
    PathText temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    // A name taken by chance (or by a leftover) is passed over; CREATE_NEW never reuses a file.
    for (int attempt = 0; created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder + utf8ToPathText(temporaryFileName(GetCurrentProcessId()));
        created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (created == INVALID_HANDLE_VALUE && ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 16))
            return errorText(error);
    }
    Handle file(created);
    DWORD error = writeAll(file.get(), bytes);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = GetLastError();
    if (!file.close() && error == ERROR_SUCCESS) error = GetLastError();
    if (error == ERROR_SUCCESS) error = renameOver(temporary, path);
    if (error == ERROR_SUCCESS) return std::nullopt;
    DeleteFileW(temporary.c_str());
    return errorText(error);
}

std::optional<std::string> readWholeFile(const PathText& path, std::size_t maxBytes, FinalLink link) {
    // Full sharing, so that a reader never stops a writer from renaming a new version over the file.
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (link == FinalLink::Refuse) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    const Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, flags, nullptr));
    if (!file.valid()) return std::nullopt;
    // Only files on a disk: not a device ("CON", "NUL"), a pipe, a folder, or (when refused) a link.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    if (link == FinalLink::Refuse && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) return std::nullopt;
        if (n == 0) return bytes;
        if (n > maxBytes - bytes.size()) return std::nullopt;
        bytes.append(buffer, n);
    }
}

}  // namespace varnel::platform
