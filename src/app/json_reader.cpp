#include "app/json_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace varnel {

namespace {

constexpr int kMaxDepth = 256;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Builds an object from members in text order. Sorting once and then appending keeps a large object
// at n log n, where inserting each key into the sorted vector as it comes would be quadratic.
bridge::JSValueObject buildObject(std::vector<bridge::JSValueObject::Entry>& members) {
    std::stable_sort(members.begin(), members.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    bridge::JSValueObject object;
    for (std::size_t i = 0; i < members.size(); ++i) {
        // Of equal keys, stable sorting leaves the last one written last.
        if (i + 1 < members.size() && members[i + 1].first == members[i].first) continue;
        object[members[i].first] = std::move(members[i].second);
    }
    return object;
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    JsonParseResult run() {
        JsonParseResult result;
        bridge::JSValue value;
        if (parseValue(value, 0)) {
            skipSpace();
            if (pos_ == s_.size()) {
                result.value = std::move(value);
                return result;
            }
            unexpected();
        }
        result.error = std::move(error_);
        return result;
    }

private:
    bool atEnd() const { return pos_ >= s_.size(); }
    bool peekIs(char c) const { return pos_ < s_.size() && s_[pos_] == c; }

    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool unexpected() {
        if (atEnd()) return fail("Unexpected end of input.");
        return fail("Unexpected character at offset " + std::to_string(pos_) + ".");
    }

    void skipSpace() {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
            ++pos_;
        }
    }

    bool parseLiteral(std::string_view word, bridge::JSValue literal, bridge::JSValue& out) {
        if (s_.substr(pos_, word.size()) != word) {
            // Point at the first character that differs, or report the end if the word was cut short.
            std::size_t i = 0;
            while (pos_ < s_.size() && i < word.size() && s_[pos_] == word[i]) ++pos_, ++i;
            return unexpected();
        }
        pos_ += word.size();
        out = std::move(literal);
        return true;
    }

    // depth counts the arrays and objects around the value.
    bool parseValue(bridge::JSValue& out, int depth) {
        skipSpace();
        if (atEnd()) return unexpected();
        switch (s_[pos_]) {
            case '{':
            case '[':
                if (depth >= kMaxDepth) return fail("Nesting deeper than 256 levels.");
                return s_[pos_] == '{' ? parseObject(out, depth + 1) : parseArray(out, depth + 1);
            case '"': {
                std::string text;
                if (!parseString(text)) return false;
                out = std::move(text);
                return true;
            }
            case 't': return parseLiteral("true", true, out);
            case 'f': return parseLiteral("false", false, out);
            case 'n': return parseLiteral("null", nullptr, out);
            default:
                if (s_[pos_] == '-' || isDigit(s_[pos_])) return parseNumber(out);
                return unexpected();
        }
    }

    // Steps over c when it comes next.
    bool skip(char c) {
        if (!peekIs(c)) return false;
        ++pos_;
        return true;
    }

    bool parseArray(bridge::JSValue& out, int depth) {
        ++pos_;  // '['
        bridge::JSValueArray elements;
        skipSpace();
        // After the first value, each one follows a comma.
        while (!skip(']')) {
            if (!elements.empty() && !skip(',')) return unexpected();
            bridge::JSValue element;
            if (!parseValue(element, depth)) return false;
            elements.push_back(std::move(element));
            skipSpace();
        }
        out = std::move(elements);
        return true;
    }

    bool parseObject(bridge::JSValue& out, int depth) {
        ++pos_;  // '{'
        std::vector<bridge::JSValueObject::Entry> members;
        skipSpace();
        while (!skip('}')) {
            if (!members.empty() && !skip(',')) return unexpected();
            skipSpace();
            if (!peekIs('"')) return unexpected();
            std::string key;
            if (!parseString(key)) return false;
            skipSpace();
            if (!skip(':')) return unexpected();
            bridge::JSValue value;
            if (!parseValue(value, depth)) return false;
            members.emplace_back(std::move(key), std::move(value));
            skipSpace();
        }
        out = buildObject(members);
        return true;
    }

    bool parseString(std::string& out) {
        ++pos_;  // opening quote
        for (;;) {
            const std::size_t runStart = pos_;
            while (pos_ < s_.size()) {
                const auto c = static_cast<unsigned char>(s_[pos_]);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
                ++pos_;
            }
            out.append(s_.substr(runStart, pos_ - runStart));
            if (atEnd()) return unexpected();
            const auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c < 0x20) return fail("Control character in a string at offset " + std::to_string(pos_) + ".");
            if (c >= 0x80) {
                copyUtf8Sequence(out);
            } else if (!parseEscape(out)) {
                return false;
            }
        }
    }

    // Copies one well-formed UTF-8 sequence, or writes U+FFFD for an ill-formed one and skips its
    // longest valid prefix (at least one byte): the substitution platform::utf8ToWide makes, done here
    // so the result is the same on every platform.
    void copyUtf8Sequence(std::string& out) {
        const std::size_t start = pos_;
        const auto lead = static_cast<unsigned char>(s_[pos_++]);
        int need;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            if (lead == 0xE0) lo = 0xA0;  // overlong
            if (lead == 0xED) hi = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            if (lead == 0xF0) lo = 0x90;  // overlong
            if (lead == 0xF4) hi = 0x8F;  // beyond U+10FFFF
        } else {
            out += kReplacement;
            return;
        }
        for (int k = 0; k < need; ++k) {
            const auto c = atEnd() ? 0 : static_cast<unsigned char>(s_[pos_]);
            if (c < lo || c > hi) {
                out += kReplacement;
                return;
            }
            lo = 0x80;
            hi = 0xBF;
            ++pos_;
        }
        out.append(s_.substr(start, pos_ - start));
    }

    // Reads the four hex digits of a \u escape at `at`: the code unit, or -1 for a character that is
    // not a hex digit, or -2 when the text ends first.
    long hex4At(std::size_t at) const {
        long unit = 0;
        for (std::size_t i = at; i < at + 4; ++i) {
            if (i >= s_.size()) return -2;
            const int digit = hexValue(s_[i]);
            if (digit < 0) return -1;
            unit = unit * 16 + digit;
        }
        return unit;
    }

    bool parseEscape(std::string& out) {
        const std::size_t escapeAt = pos_;
        ++pos_;  // backslash
        if (atEnd()) return unexpected();
        const char kind = s_[pos_++];
        switch (kind) {
            case '"': out += '"'; return true;
            case '\\': out += '\\'; return true;
            case '/': out += '/'; return true;
            case 'b': out += '\b'; return true;
            case 'f': out += '\f'; return true;
            case 'n': out += '\n'; return true;
            case 'r': out += '\r'; return true;
            case 't': out += '\t'; return true;
            case 'u': break;
            default: return fail("Invalid escape at offset " + std::to_string(escapeAt) + ".");
        }
        const long unit = hex4At(pos_);
        if (unit < 0) {
            if (unit == -2) return fail("Unexpected end of input.");
            return fail("Invalid escape at offset " + std::to_string(escapeAt) + ".");
        }
        pos_ += 4;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A high surrogate pairs only with a low surrogate escape right after it; otherwise it
            // stands alone and the next escape, whatever it is, is read on its own.
            if (s_.substr(pos_, 2) == "\\u") {
                const long low = hex4At(pos_ + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    pos_ += 6;
                    platform::appendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                                  (static_cast<char32_t>(low) - 0xDC00));
                    return true;
                }
            }
            out += kReplacement;
            return true;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            out += kReplacement;
            return true;
        }
        platform::appendUtf8(out, static_cast<char32_t>(unit));
        return true;
    }

    bool parseNumber(bridge::JSValue& out) {
        const std::size_t start = pos_;
        const bool negative = skip('-');
        const std::size_t intStart = pos_;
        // One zero, or digits that do not start with one.
        if (!skip('0')) {
            if (atEnd() || !isDigit(s_[pos_])) return unexpected();
            while (!atEnd() && isDigit(s_[pos_])) ++pos_;
        }
        const std::size_t intEnd = pos_;
        bool integral = true;
        std::size_t fracStart = pos_;
        if (peekIs('.')) {
            integral = false;
            ++pos_;
            fracStart = pos_;
            if (atEnd() || !isDigit(s_[pos_])) return unexpected();
            while (!atEnd() && isDigit(s_[pos_])) ++pos_;
        }
        const std::size_t fracEnd = integral ? fracStart : pos_;
        // Saturated: only its sign and rough size matter, to tell underflow from overflow below.
        std::int64_t exponent = 0;
        if (peekIs('e') || peekIs('E')) {
            integral = false;
            ++pos_;
            bool negativeExponent = false;
            if (peekIs('+') || peekIs('-')) negativeExponent = s_[pos_++] == '-';
            if (atEnd() || !isDigit(s_[pos_])) return unexpected();
            for (; !atEnd() && isDigit(s_[pos_]); ++pos_) {
                if (exponent < 1'000'000'000'000) exponent = exponent * 10 + (s_[pos_] - '0');
            }
            if (negativeExponent) exponent = -exponent;
        }

        const char* first = s_.data() + start;
        const char* last = s_.data() + pos_;
        if (integral) {
            std::int64_t n = 0;
            const auto [end, ec] = std::from_chars(first, last, n);
            if (ec == std::errc() && end == last) {
                out = n;
                return true;
            }
        }
        double d = 0;
        const auto [end, ec] = std::from_chars(first, last, d);
        if (ec == std::errc() && end == last) {
            out = d;
            return true;
        }
        if (ec == std::errc::result_out_of_range) {
            // Out of range either way; a number below the smallest subnormal is zero, as JavaScript
            // reads it, while one beyond the largest double has no value to give.
            const std::string_view digits = s_.substr(intStart, intEnd - intStart);
            std::int64_t magnitude = static_cast<std::int64_t>(digits.size()) + exponent;
            if (digits == "0") {
                const std::string_view fraction = s_.substr(fracStart, fracEnd - fracStart);
                const std::size_t leadingZeros = std::min(fraction.find_first_not_of('0'), fraction.size());
                magnitude = exponent - static_cast<std::int64_t>(leadingZeros);
            }
            if (magnitude <= 0) {
                out = negative ? -0.0 : 0.0;
                return true;
            }
        }
        return fail("Number out of range at offset " + std::to_string(start) + ".");
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

JsonParseResult parseJson(std::string_view text) { return Parser(text).run(); }

}  // namespace varnel
