#pragma once
// The popup menu built from a copy of the tray state, and what a chosen id means against that same
// copy, so that ids always refer to the list that was shown.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/tray_shell.h"
#include "tray/menu_bar_state.h"

namespace varnel::tray {

struct MenuSnapshot {
    bool connected = false;
    std::u16string serverLabel;
    std::vector<DedicatedServerItem> dedicatedServers;
};

std::vector<platform::TrayMenuEntry> buildTrayMenu(const MenuSnapshot& snapshot);

enum class MenuCommand { None, QuickConnect, Disconnect, OpenApp, Exit, ConnectDedicated };

struct MenuChoice {
    MenuCommand command = MenuCommand::None;
    std::string serverId;  // for ConnectDedicated only
};

MenuChoice decodeMenuChoice(std::uint32_t id, const MenuSnapshot& snapshot);

}  // namespace varnel::tray
