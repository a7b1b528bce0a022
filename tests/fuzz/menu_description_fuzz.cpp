// The tray's scan of the interface's menu description, on any text.

#include "fuzz_check.h"
#include "tray/menu_description.h"

namespace varnel::fuzz {

void fuzzOne(std::string_view text) {
    for (const std::string_view key : {"id", "label", "serverLabel", ""}) {
        const std::string value = tray::extractJsonString(text, key);
        require(value.find('"') == std::string::npos, "an extracted string holds no quote");
        require(value.empty() || text.find("\"" + std::string(key) + "\":\"" + value + "\"") != std::string_view::npos,
                "an extracted string stands after its key in the text");
    }
    tray::MenuBarState fresh;
    tray::parseMenuBarJson(fresh, text);
    require(wellFormed(fresh.serverLabel), "the server label is whole UTF-16");
    for (const auto& server : fresh.dedicatedServers)
        require(!server.id.empty() && server.id.find('"') == std::string::npos && wellFormed(server.label), "a server has an id without quotes and a whole label");
    // The tray keeps one state and parses each new description into it.
    static tray::MenuBarState kept;
    tray::parseMenuBarJson(kept, text);
    require(kept.connected == fresh.connected && kept.serverLabel == fresh.serverLabel && kept.dedicatedServers == fresh.dedicatedServers,
            "a description replaces everything the last one said");
}

}  // namespace varnel::fuzz
