#pragma once
// Logs and configuration files come from Windows editors too: the same text with other line ends.

#include <string>
#include <string_view>

namespace varnel::fuzz {

// text with every line feed replaced by lineEnd.
inline std::string withLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        if (c == '\n')
            out += lineEnd;
        else
            out += c;
    }
    return out;
}

}  // namespace varnel::fuzz
