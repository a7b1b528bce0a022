#pragma once
// Reads a method's positional arguments into the four argument types the module uses, by the
// coercion rules the interface relies on: a missing argument takes its empty value, a value of
// another type is converted, and surplus arguments are ignored.

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "bridge/js_value.h"

namespace varnel::bridge {

std::string readStringArg(const JSValue& value);
bool readBoolArg(const JSValue& value);
// The value is read as a 64-bit integer and keeps its low 32 bits (two's complement).
std::int32_t readIntArg(const JSValue& value);
std::vector<std::string> readStringListArg(const JSValue& value);

// Decimal text of a double as the interface expects it: six decimals, then trailing '0' and '.'
// characters removed (1.5 -> "1.5", 100.0 -> "100", -0.0 -> "-0").
std::string doubleArgText(double d);

template <class T> T readArg(const JSValue& value);
template <> inline std::string readArg<std::string>(const JSValue& v) { return readStringArg(v); }
template <> inline bool readArg<bool>(const JSValue& v) { return readBoolArg(v); }
template <> inline std::int32_t readArg<std::int32_t>(const JSValue& v) { return readIntArg(v); }
template <> inline std::vector<std::string> readArg<std::vector<std::string>>(const JSValue& v) { return readStringListArg(v); }

// Reads the declared arguments in order from an argument list. A list that is not an array gives
// every argument its empty value, which is what reading Null gives.
template <class... Args>
std::tuple<Args...> readArguments(const JSValue& args) {
    static const JSValue kMissing;
    const JSValueArray* items = args.asArray();
    std::size_t index = 0;
    [[maybe_unused]] auto next = [&]() -> const JSValue& {
        if (items == nullptr || index >= items->size()) return kMissing;
        return (*items)[index++];
    };
    // Braced initialisation evaluates its elements left to right, so arguments are read in order.
    return std::tuple<Args...>{readArg<Args>(next())...};
}

}  // namespace varnel::bridge
