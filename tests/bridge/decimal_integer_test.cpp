#include "bridge/decimal_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace varnel {
namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

// One row per text: the 32-bit reading under each of the four rule pairs.
struct Case32 {
    const char* text;
    std::int32_t ignoreClamp, ignoreZero, rejectClamp, rejectZero;
};

const Case32 kCases32[] = {
    {"443", 443, 443, 443, 443},
    {" \t\n\v\f\r-12", -12, -12, -12, -12},
    {"+7", 7, 7, 7, 7},
    {"0", 0, 0, 0, 0},
    {"12ab", 12, 12, 0, 0},
    {"443 ", 443, 443, 0, 0},
    {"abc", 0, 0, 0, 0},
    {"-", 0, 0, 0, 0},
    {"+-5", 0, 0, 0, 0},
    {"", 0, 0, 0, 0},
    {"\x85" "5", 0, 0, 0, 0},  // only ASCII white space is skipped
    {"2147483647", kMax32, kMax32, kMax32, kMax32},
    {"2147483648", kMax32, 0, kMax32, 0},
    {"-2147483648", kMin32, kMin32, kMin32, kMin32},
    {"-2147483649", kMin32, 0, kMin32, 0},
    {"99999999999999999999999", kMax32, 0, kMax32, 0},
    {"99999999999x", kMax32, 0, 0, 0},
};

TEST(DecimalInteger, ReadsThirtyTwoBitsUnderEachRule) {
    for (const Case32& c : kCases32) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDecimalInteger<std::int32_t>(c.text, AfterDigits::Ignore, OutOfRange::NearestLimit), c.ignoreClamp);
        EXPECT_EQ(parseDecimalInteger<std::int32_t>(c.text, AfterDigits::Ignore, OutOfRange::Zero), c.ignoreZero);
        EXPECT_EQ(parseDecimalInteger<std::int32_t>(c.text, AfterDigits::Reject, OutOfRange::NearestLimit), c.rejectClamp);
        EXPECT_EQ(parseDecimalInteger<std::int32_t>(c.text, AfterDigits::Reject, OutOfRange::Zero), c.rejectZero);
    }
}

TEST(DecimalInteger, SixtyFourBitLimitsAreExact) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"9223372036854775807", kMax64},
        {"9223372036854775808", kMax64},
        {"-9223372036854775808", kMin64},
        {"-9223372036854775809", kMin64},
        {"4294967296", 4294967296},
        {"-00000000000000000000000042", -42},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseDecimalInteger<std::int64_t>(text, AfterDigits::Reject, OutOfRange::NearestLimit), expected) << text;
    }
    EXPECT_EQ(parseDecimalInteger<std::int64_t>("9223372036854775808", AfterDigits::Ignore, OutOfRange::Zero), 0);
}

}  // namespace
}  // namespace varnel
