#pragma once
// The Windows numbers in which the tray logic speaks to its shell (window messages, icon
// notifications and menu flags); the Linux shell translates the desktop's doings into them.

#include <cstdint>

namespace varnel::platform::win {

inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::intptr_t kWmContextMenu = 0x007B;
inline constexpr std::intptr_t kWmLButtonDblClk = 0x0203;
inline constexpr std::intptr_t kNinBalloonUserClick = 0x0405;

inline constexpr std::uint32_t kMfGrayedOrDisabled = 0x3;
inline constexpr std::uint32_t kMfChecked = 0x8;
inline constexpr std::uint32_t kMfPopup = 0x10;
inline constexpr std::uint32_t kMfSeparator = 0x800;

}  // namespace varnel::platform::win
