#include "platform/files.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>

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
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool writeWholeFile(const PathText& path, std::string_view bytes) {
    File file(_wfopen(path.c_str(), L"wb"));
    if (!file) return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

std::optional<std::string> readWholeFile(const PathText& path) {
    File file(_wfopen(path.c_str(), L"rb"));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) bytes.append(buffer, n);
    return bytes;
}

}  // namespace varnel::platform
