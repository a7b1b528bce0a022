// The tray's scan of the interface's menu description, on any text. A string it extracts is what
// follows its key in the text up to a quote; every server has an id; labels are whole UTF-16; and
// what an earlier description left in the state never shows through a later one.

#include "fuzz_check.h"
#include "tray/menu_description.h"

namespace {

using varnel::fuzz::require;

bool wholeUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) return false;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && (++i >= text.size() || text[i] < 0xDC00 || text[i] > 0xDFFF)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string_view key : {"id", "label", "serverLabel", ""}) {
        const std::string value = varnel::tray::extractJsonString(text, key);
        require(value.find('"') == std::string::npos, "an extracted string holds no quote");
        require(value.empty() || text.find("\"" + std::string(key) + "\":\"" + value + "\"") != std::string_view::npos,
                "an extracted string stands after its key in the text");
    }
    varnel::tray::MenuBarState fresh;
    varnel::tray::parseMenuBarJson(fresh, text);
    require(wholeUtf16(fresh.serverLabel), "the server label is whole UTF-16");
    for (const auto& server : fresh.dedicatedServers) {
        require(!server.id.empty() && server.id.find('"') == std::string::npos, "a server has an id without quotes");
        require(wholeUtf16(server.label), "a server's label is whole UTF-16");
    }
    // The tray keeps one state and parses each new description into it.
    static varnel::tray::MenuBarState kept;
    varnel::tray::parseMenuBarJson(kept, text);
    require(kept.connected == fresh.connected && kept.serverLabel == fresh.serverLabel && kept.dedicatedServers == fresh.dedicatedServers,
            "a description replaces everything the last one said");
    return 0;
}
