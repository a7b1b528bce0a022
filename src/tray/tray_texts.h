#pragma once
// The words the tray shows: tooltip, menu status line and background notice.

#include <cstddef>
#include <string>
#include <string_view>

#include "tray/menu_bar_state.h"

namespace varnel::tray {

// The first units UTF-16 units of text: the fixed fields of the icon record truncate, never fail.
std::u16string cutUnits(std::u16string_view text, std::size_t units);

// At most 127 units. Call with trayMutex held (or on a copy).
std::u16string buildTooltipText(const MenuBarState& state);

// The menu's first, greyed line.
std::u16string menuStatusText(bool connected, std::u16string_view serverLabel);

inline constexpr char16_t kBalloonTitle[] = u"Varnel VPN is still connected";
// The balloon text of the background notice for a connected tray.
std::u16string backgroundNoticeText(std::u16string_view serverLabel);

}  // namespace varnel::tray
