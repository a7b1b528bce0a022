#pragma once
// What the tray shows: the interface's last menu description, the icon switch and the pending
// balloon. Guarded by TrayCore::trayMutex wherever it lives.

#include <string>
#include <vector>

namespace varnel::tray {

struct DedicatedServerItem {
    std::string id;        // the bytes the interface sent, handed back unchanged in the event
    std::u16string label;  // as shown in the menu

    friend bool operator==(const DedicatedServerItem&, const DedicatedServerItem&) = default;
};

struct MenuBarState {
    bool connected = false;
    std::u16string serverLabel;
    std::vector<DedicatedServerItem> dedicatedServers;
    bool menuBarVisible = true;
    std::u16string balloonTitle;
    std::u16string balloonText;
};

}  // namespace varnel::tray
