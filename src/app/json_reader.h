#pragma once
// Reads the JSON text of one line of the stdio host. The input comes from another process and is not
// trusted: any bytes give either a value or an error, never a crash, and nesting is capped so the
// recursive descent stays within a small, fixed stack.

#include <optional>
#include <string>
#include <string_view>

#include "bridge/js_value.h"

namespace varnel {

struct JsonParseResult {
    std::optional<bridge::JSValue> value;  // empty when the text is not valid JSON
    std::string error;             // a short sentence saying what is wrong and where; empty on success
};

// Parses exactly one JSON value, with white space allowed around it. An integer literal that fits in
// 64 signed bits becomes Int64, any other number Double. Strings always come out as valid UTF-8:
// unpaired surrogate escapes and ill-formed bytes become U+FFFD, as the host's UTF-16 conversion
// would make them. The last of duplicate object keys wins.
JsonParseResult parseJson(std::string_view text);

}  // namespace varnel
