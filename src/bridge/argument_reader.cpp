#include "bridge/argument_reader.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "bridge/decimal_integer.h"

namespace varnel::bridge {

namespace {

std::int64_t truncateDouble(double d) {
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (std::isnan(d)) return 0;
    if (d >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
    if (d < -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);  // truncates toward zero
}

std::int64_t readInt64(const JSValue& value) {
    switch (value.type()) {
        case JSValueType::String:
            return parseDecimalInteger<std::int64_t>(*value.asString(), AfterDigits::Reject, OutOfRange::NearestLimit);
        case JSValueType::Boolean: return *value.asBoolean() ? 1 : 0;
        case JSValueType::Int64: return *value.asInt64();
        case JSValueType::Double: return truncateDouble(*value.asDouble());
        default: return 0;
    }
}

}  // namespace

std::string doubleArgText(double d) {
    char buffer[400];  // the largest double has 309 integer digits, plus sign, point and six decimals
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed, 6);
    std::string text = ec == std::errc() ? std::string(buffer, end) : std::string();
    while (!text.empty() && text.back() == '0') text.pop_back();
    while (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

std::string readStringArg(const JSValue& value) {
    switch (value.type()) {
        case JSValueType::String: return *value.asString();
        case JSValueType::Boolean: return *value.asBoolean() ? "true" : "false";
        case JSValueType::Int64: return std::to_string(*value.asInt64());
        case JSValueType::Double: return doubleArgText(*value.asDouble());
        default: return {};
    }
}

bool readBoolArg(const JSValue& value) {
    switch (value.type()) {
        case JSValueType::String: return !value.asString()->empty();
        case JSValueType::Boolean: return *value.asBoolean();
        case JSValueType::Int64: return *value.asInt64() != 0;
        case JSValueType::Double: return *value.asDouble() != 0;
        default: return false;
    }
}

std::int32_t readIntArg(const JSValue& value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(readInt64(value)));
}

std::vector<std::string> readStringListArg(const JSValue& value) {
    std::vector<std::string> list;
    if (const JSValueArray* items = value.asArray()) {
        list.reserve(items->size());
        for (const JSValue& item : *items) list.push_back(readStringArg(item));
    }
    return list;
}

}  // namespace varnel::bridge
