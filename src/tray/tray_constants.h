#pragma once
// The numbers and names that the tray shares with the system and with a second start of the
// application; they must never change.

#include <cstddef>
#include <cstdint>

namespace varnel::tray {

inline constexpr char16_t kTrayWindowClass[] = u"VarnelTrayWindow";
inline constexpr char16_t kMainWindowTitle[] = u"VarnelVPN";
// The icon group of the executable's resources that the tray and the main window show.
inline constexpr std::uint16_t kTrayIconResource = 1008;

inline constexpr std::uint32_t kWmUser = 0x0400;
inline constexpr std::uint32_t kWmTrayCallback = kWmUser + 42;
inline constexpr std::uint32_t kWmTrayRefresh = kWmUser + 43;
inline constexpr std::uint32_t kWmTrayBalloon = kWmUser + 44;
inline constexpr std::uint32_t kWmTrayShowApp = kWmUser + 45;

// System messages the tray window acts on.
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::intptr_t kWmContextMenu = 0x007B;
inline constexpr std::intptr_t kWmLButtonUp = 0x0202;
inline constexpr std::intptr_t kWmLButtonDblClk = 0x0203;
inline constexpr std::intptr_t kWmRButtonUp = 0x0205;
inline constexpr std::intptr_t kNinBalloonUserClick = 0x0405;

// Menu command ids.
inline constexpr std::uint32_t kIdQuickConnect = 2001;
inline constexpr std::uint32_t kIdDisconnect = 2002;
inline constexpr std::uint32_t kIdOpenApp = 2003;
inline constexpr std::uint32_t kIdExit = 2004;
inline constexpr std::uint32_t kIdDedicatedBase = 3000;

// Menu flags as the system's menu calls take them.
inline constexpr std::uint32_t kMfString = 0x0;
inline constexpr std::uint32_t kMfGrayed = 0x3;  // MF_GRAYED | MF_DISABLED
inline constexpr std::uint32_t kMfPopup = 0x10;
inline constexpr std::uint32_t kMfSeparator = 0x800;

// Text field sizes of the icon record, in UTF-16 units, the terminating NUL excluded.
inline constexpr std::size_t kTooltipUnits = 127;
inline constexpr std::size_t kBalloonTitleUnits = 63;
inline constexpr std::size_t kBalloonTextUnits = 255;

}  // namespace varnel::tray
