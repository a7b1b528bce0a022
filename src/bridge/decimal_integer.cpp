#include "bridge/decimal_integer.h"

#include <limits>

namespace varnel::bridge {

namespace {
bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

template <class Int>
Int parseDecimalInteger(std::string_view text, AfterDigits after, OutOfRange outOfRange) {
    constexpr Int kMin = std::numeric_limits<Int>::min();
    constexpr Int kMax = std::numeric_limits<Int>::max();
    std::size_t i = 0;
    while (i < text.size() && isAsciiSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    // Accumulated as a negative number, the side of the range that holds the minimum's magnitude.
    Int acc = 0;
    bool overflow = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const Int digit = static_cast<Int>(text[i] - '0');
        if (acc < (kMin + digit) / 10) overflow = true;
        if (!overflow) acc = static_cast<Int>(acc * 10 - digit);
    }
    if (i == digitsStart) return 0;
    if (after == AfterDigits::Reject && i != text.size()) return 0;
    if (!negative && acc == kMin) overflow = true;
    if (overflow) return outOfRange == OutOfRange::Zero ? 0 : (negative ? kMin : kMax);
    return negative ? acc : static_cast<Int>(-acc);
}

template std::int32_t parseDecimalInteger<std::int32_t>(std::string_view, AfterDigits, OutOfRange);
template std::int64_t parseDecimalInteger<std::int64_t>(std::string_view, AfterDigits, OutOfRange);

}  // namespace varnel::bridge
