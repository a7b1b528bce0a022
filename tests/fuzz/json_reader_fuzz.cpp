// The stdio host's JSON reader on any bytes, and its writer on what it reads.

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "bridge/js_value_write.h"
#include "fuzz_check.h"

namespace varnel::fuzz {
namespace {

void checkValue(const bridge::JSValue& value) {
    if (const std::string* text = value.asString()) require(wellFormed(*text), "strings are well-formed UTF-8");
    if (const bridge::JSValueArray* items = value.asArray())
        for (const bridge::JSValue& item : *items) checkValue(item);
    const std::string* previous = nullptr;
    if (const bridge::JSValueObject* object = value.asObject())
        for (const auto& [key, member] : *object) {
            require(wellFormed(key) && (!previous || *previous < key), "keys are well-formed UTF-8, unique and in byte order");
            previous = &key;
            checkValue(member);
        }
}

}  // namespace

void fuzzOne(std::string_view text) {
    const JsonParseResult parsed = parseJson(text);
    require(parsed.value.has_value() == parsed.error.empty(), "either a value or an error");
    if (!parsed.value) return;
    checkValue(*parsed.value);
    JsonTextWriter writer;
    bridge::writeJSValue(writer, *parsed.value);
    const JsonParseResult again = parseJson(writer.text());
    require(again.value && *again.value == *parsed.value, "written JSON reads back as the same value");
}

}  // namespace varnel::fuzz
