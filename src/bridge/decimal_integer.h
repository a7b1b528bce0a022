#pragma once
// The one reader of decimal integer text. Its callers differ only in what follows the digits and in
// what a number too large for the result becomes: the interface's string coercion takes a number
// only as the whole text and clamps it; the remote line of a profile clamps the number at the start
// of its port; a hand-edited kill-switch file reads a port that does not fit as 0.

#include <cstdint>
#include <string_view>

namespace varnel::bridge {

// Text after the digits: ignored, or it makes the whole text read as 0.
enum class AfterDigits { Ignore, Reject };
// A number outside the result type: the nearest limit, or 0.
enum class OutOfRange { NearestLimit, Zero };

// A base-10 integer: optional leading ASCII white space, an optional sign, then digits; 0 when there
// are no digits. Int is std::int32_t or std::int64_t.
template <class Int>
Int parseDecimalInteger(std::string_view text, AfterDigits after, OutOfRange outOfRange);

extern template std::int32_t parseDecimalInteger<std::int32_t>(std::string_view, AfterDigits, OutOfRange);
extern template std::int64_t parseDecimalInteger<std::int64_t>(std::string_view, AfterDigits, OutOfRange);

}  // namespace varnel::bridge
