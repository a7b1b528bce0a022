#pragma once
// The device's marketing name from its two BIOS strings, skipping the placeholders that board makers
// leave in them.

#include <string>
#include <string_view>

#include "platform/device_info.h"

namespace varnel::util {

// Strips leading and trailing characters for which the C library's iswspace is true.
std::u16string trimWide(std::u16string_view text);
// Drops carriage returns, turns line feeds into blanks and strips blanks and tabs at both ends; a
// text that is left empty becomes the fallback name.
std::string cleanMarketingName(std::string name);
// The product name unless it is missing or a placeholder, else the manufacturer followed by " PC"
// unless that is missing or a placeholder, else the fallback name. Never empty.
std::string deviceMarketingName(platform::DeviceInfoSource& source);

}  // namespace varnel::util
