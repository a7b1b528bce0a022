#include "tray/tray_texts.h"

#include "tray/tray_constants.h"

namespace varnel::tray {

std::u16string cutUnits(std::u16string_view text, std::size_t units) {
    return std::u16string(text.substr(0, units));
}

std::u16string buildTooltipText(const MenuBarState& state) {
    if (!state.connected) return u"Varnel VPN - Disconnected";
    std::u16string tip = u"Varnel VPN - Connected";
    if (!state.serverLabel.empty()) tip += u" (" + state.serverLabel + u")";
    return cutUnits(tip, kTooltipUnits);
}

std::u16string menuStatusText(bool connected, std::u16string_view serverLabel) {
    if (!connected) return u"Not connected";
    std::u16string text = u"Connected";
    if (!serverLabel.empty()) {
        text += u": ";
        text += serverLabel;
    }
    return text;
}

std::u16string backgroundNoticeText(std::u16string_view serverLabel) {
    if (serverLabel.empty()) return u"Your VPN tunnel remains active in the background.";
    std::u16string text = u"Protected via ";
    text += serverLabel;
    text += u".";
    return text;
}

}  // namespace varnel::tray
