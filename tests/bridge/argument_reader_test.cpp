#include "bridge/argument_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace varnel {
namespace {

struct Case {
    const char* what;
    JSValue value;
    std::string asString;
    bool asBool;
    std::int32_t asInt;
};

// One row per value: what each of the three scalar argument types reads from it.
const Case kCases[] = {
    {"plain string", JSValue("abc"), "abc", true, 0},
    {"string false is not empty", JSValue("false"), "false", true, 0},
    {"empty string", JSValue(""), "", false, 0},
    {"decimal string", JSValue("443"), "443", true, 443},
    {"leading blank", JSValue(" 443"), " 443", true, 443},
    {"leading tab and sign", JSValue("\t-12"), "\t-12", true, -12},
    {"plus sign", JSValue("+7"), "+7", true, 7},
    {"trailing blank", JSValue("443 "), "443 ", true, 0},
    {"trailing letter", JSValue("443a"), "443a", true, 0},
    {"hexadecimal", JSValue("0x1F"), "0x1F", true, 0},
    {"sign alone", JSValue("-"), "-", true, 0},
    {"blank alone", JSValue(" "), " ", true, 0},
    {"above 64 bits clamps then wraps", JSValue("99999999999999999999"), "99999999999999999999", true, -1},
    {"below 64 bits clamps then wraps", JSValue("-99999999999999999999"), "-99999999999999999999", true, 0},
    {"int64 minimum", JSValue("-9223372036854775808"), "-9223372036854775808", true, 0},
    {"true", JSValue(true), "true", true, 1},
    {"false", JSValue(false), "false", false, 0},
    {"integer", JSValue(std::int64_t{42}), "42", true, 42},
    {"negative integer", JSValue(std::int64_t{-5}), "-5", true, -5},
    {"zero", JSValue(std::int64_t{0}), "0", false, 0},
    {"2^32-1 wraps to -1", JSValue(std::int64_t{4294967295}), "4294967295", true, -1},
    {"2^32 wraps to 0", JSValue(std::int64_t{4294967296}), "4294967296", true, 0},
    {"2^31 wraps negative", JSValue(std::int64_t{2147483648}), "2147483648", true, -2147483647 - 1},
    {"1.5", JSValue(1.5), "1.5", true, 1},
    {"2.0", JSValue(2.0), "2", true, 2},
    {"0.0", JSValue(0.0), "0", false, 0},
    {"-0.0", JSValue(-0.0), "-0", false, 0},
    {"100.0", JSValue(100.0), "100", true, 100},
    {"3.9 truncates", JSValue(3.9), "3.9", true, 3},
    {"-3.9 truncates", JSValue(-3.9), "-3.9", true, -3},
    {"six decimals only", JSValue(0.0000001), "0", true, 0},
    {"rounded at six decimals", JSValue(2.0000005), "2.000001", true, 2},
    {"double above 64 bits clamps then wraps", JSValue(1e20), "100000000000000000000", true, -1},
    {"null", JSValue(), "", false, 0},
    {"object", JSValue(JSValueObject{{"a", JSValue(1)}}), "", false, 0},
    {"array", JSValue(JSValueArray{JSValue("x")}), "", false, 0},
};

TEST(ArgumentReader, CoercesEveryValueTypeToStringBoolAndInt) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readStringArg(c.value), c.asString);
        EXPECT_EQ(readBoolArg(c.value), c.asBool);
        EXPECT_EQ(readIntArg(c.value), c.asInt);
    }
}

TEST(ArgumentReader, NonFiniteDoublesDoNotFailAnIntArgument) {
    // No value is fixed for these; reading them must simply not misbehave (undefined casts would show
    // under the sanitizers).
    for (double d : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 1e300, -1e300})
        (void)readIntArg(JSValue(d));
}

TEST(ArgumentReader, ListOfStringsReadsEachItemAsAString) {
    JSValue items(JSValueArray{JSValue("a"), JSValue(std::int64_t{1}), JSValue(true), JSValue(), JSValue(2.5),
                               JSValue(JSValueArray{JSValue("nested")})});
    EXPECT_EQ(readStringListArg(items), (std::vector<std::string>{"a", "1", "true", "", "2.5", ""}));
    EXPECT_TRUE(readStringListArg(JSValue("a")).empty());
    EXPECT_TRUE(readStringListArg(JSValue(JSValueObject{})).empty());
    EXPECT_TRUE(readStringListArg(JSValue()).empty());
}

TEST(ArgumentReader, MissingArgumentsTakeEmptyValuesAndSurplusOnesAreIgnored) {
    auto [s, b] = readArguments<std::string, bool>(JSValue(JSValueArray{JSValue("x")}));
    EXPECT_EQ(s, "x");
    EXPECT_FALSE(b);

    auto [first, second] = readArguments<std::string, std::string>(
        JSValue(JSValueArray{JSValue("one"), JSValue("two"), JSValue("three")}));
    EXPECT_EQ(first, "one");
    EXPECT_EQ(second, "two");

    auto [n, list] = readArguments<std::int32_t, std::vector<std::string>>(JSValue(JSValueArray{}));
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(list.empty());
}

TEST(ArgumentReader, AnArgumentListThatIsNotAnArrayGivesEveryArgumentItsEmptyValue) {
    for (const JSValue& args : {JSValue("text"), JSValue(true), JSValue(std::int64_t{5}), JSValue(),
                                JSValue(JSValueObject{{"0", JSValue("x")}})}) {
        auto [s, b, n, list] = readArguments<std::string, bool, std::int32_t, std::vector<std::string>>(args);
        EXPECT_EQ(s, "");
        EXPECT_FALSE(b);
        EXPECT_EQ(n, 0);
        EXPECT_TRUE(list.empty());
    }
}

}  // namespace
}  // namespace varnel
