#include "util/pick_result.h"

namespace varnel::util {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kAppColor = "#1d8fef";

struct SplitPath {
    std::string_view folder;  // empty when the path has no separator
    std::string_view fileName;
};

SplitPath splitAtLastSeparator(std::string_view path, char separator) {
    const auto at = path.rfind(separator);
    if (at == std::string_view::npos) return {{}, path};
    return {path.substr(0, at), path.substr(at + 1)};
}

}  // namespace

bridge::JSValueObject appPickResult(std::string_view path, char separator) {
    const std::string_view fileName = splitAtLastSeparator(path, separator).fileName;
    const auto dot = fileName.rfind('.');
    const std::string_view name = dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
    return bridge::JSValueObject{{"bundleId", bridge::JSValue(fileName)}, {"name", bridge::JSValue(name)}, {"path", bridge::JSValue(path)}, {"color", bridge::JSValue(kAppColor)}};
}

bridge::JSValueObject ovpnFilePickResult(std::string_view path, std::string bytes, char separator) {
    // Only a UTF-8 mark goes: any other encoding reaches the interface byte for byte.
    if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.erase(0, kUtf8ByteOrderMark.size());
    const SplitPath split = splitAtLastSeparator(path, separator);
    return bridge::JSValueObject{{"fileName", bridge::JSValue(split.fileName)}, {"content", bridge::JSValue(std::move(bytes))}, {"sourceDirectory", bridge::JSValue(split.folder)}};
}

}  // namespace varnel::util
