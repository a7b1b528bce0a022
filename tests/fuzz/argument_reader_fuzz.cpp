// Whatever JSON arrives as a method's argument list, read as every type at every position.

#include <charconv>
#include <cmath>
#include <limits>

#include "app/json_reader.h"
#include "bridge/argument_reader.h"
#include "bridge/decimal_integer.h"
#include "fuzz_check.h"

namespace varnel::fuzz {
namespace {

// Differential: the same integer text read with from_chars, which takes a '-' but no '+'.
void checkIntegerText(std::string_view text) {
    std::size_t i = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const bool negative = i < text.size() && text[i] == '-', doubleSign = i < text.size() && text[i] == '+' && ++i < text.size() && text[i] == '-';
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (doubleSign || end != text.data() + text.size()) value = 0;
    else if (ec == std::errc::result_out_of_range) value = negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    else if (ec != std::errc()) value = 0;
    require(bridge::parseDecimalInteger<std::int64_t>(text, bridge::AfterDigits::Reject, bridge::OutOfRange::NearestLimit) == value, "integer text reads as from_chars reads it");
}

void checkOne(const bridge::JSValue& value) {
    const std::string text = bridge::readStringArg(value);
    bridge::readBoolArg(value);
    const std::int32_t number = bridge::readIntArg(value);
    require(bridge::readStringListArg(value).size() == (value.asArray() ? value.asArray()->size() : 0), "a list has one string per element, none for a non-array");
    // A whole number's text reads back as the same integer (both saturate alike beyond 64 bits).
    const double* d = value.asDouble();
    if (value.asInt64() || (d && std::trunc(*d) == *d)) require(bridge::readIntArg(bridge::JSValue(text)) == number, "a whole number's text reads as the same integer");
    if (const std::string* s = value.asString()) checkIntegerText(*s);
}

}  // namespace

void fuzzOne(std::string_view raw) {
    checkIntegerText(raw);
    // Bytes that are not JSON still make an argument: a string, as a host might pass them.
    const JsonParseResult parsed = parseJson(raw);
    const bridge::JSValue args = parsed.value ? *parsed.value : bridge::JSValue(std::string(raw));
    const auto [s, b, i, l] = bridge::readArguments<std::string, bool, std::int32_t, std::vector<std::string>>(args);
    const auto [l2, i2, b2, s2, s3] = bridge::readArguments<std::vector<std::string>, std::int32_t, bool, std::string, std::string>(args);
    const bridge::JSValueArray* items = args.asArray();
    require(items || (s.empty() && !b && i == 0 && l.empty() && s3.empty()), "a non-array argument list reads as all empty values");
    if (items && items->size() >= 2) require(s == bridge::readStringArg((*items)[0]) && i2 == bridge::readIntArg((*items)[1]), "arguments are read in order");
    checkOne(args);
    if (items) for (const bridge::JSValue& item : *items) checkOne(item);
}

}  // namespace varnel::fuzz
