#include "platform/text.h"

#include <cstdint>

namespace varnel::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i], advancing i. An ill-formed sequence yields U+FFFD and consumes its
// longest valid prefix (at least one byte), the substitution practice Unicode recommends.
char32_t decodeOne(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i++);
    if (lead < 0x80) return lead;
    int need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) { need = 1; cp = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2; cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3; cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < need; ++k) {
        if (i >= s.size()) return kReplacement;
        const unsigned char c = byte(i);
        if (c < lo || c > hi) return kReplacement;
        lo = 0x80; hi = 0xBF;
        cp = (cp << 6) | (c & 0x3F);
        ++i;
    }
    return cp;
}

}  // namespace

std::u16string utf8ToWide(std::string_view utf8) {
    std::u16string wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = decodeOne(utf8, i);
        if (cp < 0x10000) {
            wide += static_cast<char16_t>(cp);
        } else {
            wide += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            wide += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return wide;
}

std::string wideToUtf8(std::u16string_view wide) {
    std::string utf8;
    utf8.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        appendUtf8(utf8, cp);
    }
    return utf8;
}

}  // namespace varnel::platform
