// Argument coercion of whatever JSON arrives as a method's argument list, read as every argument
// type at every position, as the method table reads it.

#include <charconv>
#include <cmath>
#include <limits>

#include "app/json_reader.h"
#include "bridge/argument_reader.h"
#include "bridge/decimal_integer.h"
#include "fuzz_check.h"

namespace {

using varnel::bridge::JSValue;
using varnel::fuzz::require;

// The same reading of integer text done with the standard library's parser, for a differential check.
std::int64_t integerByFromChars(std::string_view text) {
    std::size_t i = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    // from_chars takes a '-' itself but no '+', nor a second sign after one.
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && text[i] == '+' && ++i < text.size() && text[i] == '-') return 0;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (end != text.data() + text.size()) return 0;
    if (ec == std::errc::result_out_of_range) return negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    return ec == std::errc() ? value : 0;
}

void checkIntegerText(std::string_view text) {
    require(varnel::bridge::parseDecimalInteger<std::int64_t>(text, varnel::bridge::AfterDigits::Reject, varnel::bridge::OutOfRange::NearestLimit) == integerByFromChars(text),
            "integer text reads as from_chars reads it");
}

void checkOne(const JSValue& value) {
    const std::string text = varnel::bridge::readStringArg(value);
    varnel::bridge::readBoolArg(value);
    const std::int32_t number = varnel::bridge::readIntArg(value);
    const varnel::bridge::JSValueArray* items = value.asArray();
    require(varnel::bridge::readStringListArg(value).size() == (items ? items->size() : 0), "a list has one string per element, none for a non-array");
    // A number's text reads back as the same integer argument: for Int64 always, for a double when
    // it is whole (both saturate alike beyond 64 bits).
    const double* d = value.asDouble();
    if (value.asInt64() || (d && std::trunc(*d) == *d)) require(varnel::bridge::readIntArg(JSValue(text)) == number, "a whole number's text reads as the same integer");
    if (const std::string* s = value.asString()) checkIntegerText(*s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    checkIntegerText(raw);
    // Bytes that are not JSON still make an argument: a string, as a host might pass them.
    const varnel::JsonParseResult parsed = varnel::parseJson(raw);
    const JSValue args = parsed.value ? *parsed.value : JSValue(raw);

    const auto [s, b, i, l] = varnel::bridge::readArguments<std::string, bool, std::int32_t, std::vector<std::string>>(args);
    const auto [l2, i2, b2, s2, s3] = varnel::bridge::readArguments<std::vector<std::string>, std::int32_t, bool, std::string, std::string>(args);
    const varnel::bridge::JSValueArray* items = args.asArray();
    require(items || (s.empty() && !b && i == 0 && l.empty() && s3.empty()), "a non-array argument list reads as all empty values");
    if (items && items->size() >= 2)
        require(s == varnel::bridge::readStringArg((*items)[0]) && i2 == varnel::bridge::readIntArg((*items)[1]), "arguments are read in order");
    checkOne(args);
    if (items)
        for (const JSValue& item : *items) checkOne(item);
    return 0;
}
