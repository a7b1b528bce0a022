#include "tray/tray_menu.h"

#include "tray/tray_constants.h"
#include "tray/tray_texts.h"

namespace varnel::tray {

namespace {

platform::TrayMenuEntry item(std::u16string text, std::uint32_t flags, std::uint32_t id) {
    return {std::move(text), flags, id, {}};
}

platform::TrayMenuEntry separator() { return {u"", kMfSeparator, 0, {}}; }

platform::TrayMenuEntry dedicatedSubmenu(const MenuSnapshot& snapshot) {
    platform::TrayMenuEntry popup{u"Dedicated Servers", kMfPopup, 0, {}};
    if (snapshot.dedicatedServers.empty()) {
        popup.flags = kMfPopup | kMfGrayed;
        popup.submenu.push_back(item(u"None available", kMfGrayed, 0));
        return popup;
    }
    const std::uint32_t flags = snapshot.connected ? kMfGrayed : kMfString;
    for (std::size_t i = 0; i < snapshot.dedicatedServers.size(); ++i)
        popup.submenu.push_back(item(snapshot.dedicatedServers[i].label, flags, kIdDedicatedBase + static_cast<std::uint32_t>(i)));
    return popup;
}

}  // namespace

std::vector<platform::TrayMenuEntry> buildTrayMenu(const MenuSnapshot& snapshot) {
    std::vector<platform::TrayMenuEntry> menu;
    menu.push_back(item(menuStatusText(snapshot.connected, snapshot.serverLabel), kMfGrayed, 0));
    menu.push_back(separator());
    menu.push_back(item(u"Quick Connect", snapshot.connected ? kMfGrayed : kMfString, kIdQuickConnect));
    if (snapshot.connected) menu.push_back(item(u"Disconnect", kMfString, kIdDisconnect));
    menu.push_back(separator());
    menu.push_back(dedicatedSubmenu(snapshot));
    menu.push_back(separator());
    menu.push_back(item(u"Open Varnel VPN", kMfString, kIdOpenApp));
    menu.push_back(separator());
    menu.push_back(item(u"Exit Varnel VPN", kMfString, kIdExit));
    return menu;
}

MenuChoice decodeMenuChoice(std::uint32_t id, const MenuSnapshot& snapshot) {
    switch (id) {
        case kIdQuickConnect: return {MenuCommand::QuickConnect, {}};
        case kIdDisconnect: return {MenuCommand::Disconnect, {}};
        case kIdOpenApp: return {MenuCommand::OpenApp, {}};
        case kIdExit: return {MenuCommand::Exit, {}};
        default: break;
    }
    if (id >= kIdDedicatedBase && id - kIdDedicatedBase < snapshot.dedicatedServers.size())
        return {MenuCommand::ConnectDedicated, snapshot.dedicatedServers[id - kIdDedicatedBase].id};
    return {};
}

}  // namespace varnel::tray
