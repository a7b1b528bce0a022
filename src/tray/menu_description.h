#pragma once
// Reads the interface's menu description. This is a byte scan, not a JSON parser: the interface
// writes the text without blanks, and the scan's quirks (first occurrence wins, no escapes decoded,
// the first ']' ends the array) are what the interface has always relied on.

#include <string>
#include <string_view>

#include "tray/menu_bar_state.h"

namespace varnel::tray {

// The bytes after the first "KEY":" up to the next double quote; empty when not found.
std::string extractJsonString(std::string_view text, std::string_view key);

// Replaces connected, serverLabel and dedicatedServers of state from text. Call with trayMutex held.
void parseMenuBarJson(MenuBarState& state, std::string_view text);

}  // namespace varnel::tray
