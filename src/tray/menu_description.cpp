#include "tray/menu_description.h"

#include "platform/text.h"

namespace varnel::tray {

std::string extractJsonString(std::string_view text, std::string_view key) {
    std::string needle;
    needle.reserve(key.size() + 4);
    needle += '"';
    needle += key;
    needle += "\":\"";
    const std::size_t found = text.find(needle);
    if (found == std::string_view::npos) return {};
    const std::size_t start = found + needle.size();
    if (start >= text.size()) return {};
    const std::size_t end = text.find('"', start);
    if (end == std::string_view::npos) return {};
    return std::string(text.substr(start, end - start));
}

namespace {

void parseDedicatedServers(MenuBarState& state, std::string_view text) {
    constexpr std::string_view kKey = "\"dedicated\"";
    if (text.size() < kKey.size()) return;
    const std::size_t key = text.find(kKey);
    if (key == std::string_view::npos) return;
    const std::size_t open = text.find('[', key);
    if (open == std::string_view::npos) return;
    const std::size_t close = text.find(']', open);
    if (close == std::string_view::npos) return;
    const std::string_view array = text.substr(open, close - open + 1);

    for (std::size_t pos = 0; pos < array.size();) {
        const std::size_t objectStart = array.find('{', pos);
        if (objectStart == std::string_view::npos) return;
        const std::size_t objectEnd = array.find('}', objectStart);
        if (objectEnd == std::string_view::npos) return;
        const std::string_view object = array.substr(objectStart, objectEnd - objectStart + 1);
        std::string id = extractJsonString(object, "id");
        const std::string label = extractJsonString(object, "label");
        if (!id.empty()) {
            std::u16string shown = platform::utf8ToWide(label.empty() ? id : label);
            state.dedicatedServers.push_back({std::move(id), std::move(shown)});
        }
        pos = objectEnd + 1;
    }
}

}  // namespace

void parseMenuBarJson(MenuBarState& state, std::string_view text) {
    state.connected = text.find("\"connected\":true") != std::string_view::npos;
    state.serverLabel = platform::utf8ToWide(extractJsonString(text, "serverLabel"));
    state.dedicatedServers.clear();
    parseDedicatedServers(state, text);
}

}  // namespace varnel::tray
