#pragma once
// What the pickers answer for a chosen path. The path is UTF-8 text and separator the character that
// splits it into folders ('\' on Windows, '/' on Linux).

#include <string>
#include <string_view>

#include "bridge/js_value.h"

namespace varnel::util {

// {"bundleId": file name, "name": file name before its last full stop, "path": path,
//  "color": "#1d8fef"}.
bridge::JSValueObject appPickResult(std::string_view path, char separator);

// {"fileName": file name, "content": bytes without a leading UTF-8 byte-order mark,
//  "sourceDirectory": path before its last separator}.
bridge::JSValueObject ovpnFilePickResult(std::string_view path, std::string bytes, char separator);

}  // namespace varnel::util
