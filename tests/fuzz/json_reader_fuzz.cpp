// The stdio host's JSON reader on any bytes: a value or an error, every string valid UTF-8, object
// keys unique and in byte order, and a value written out by the host reads back as the same value.

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "bridge/js_value_write.h"
#include "fuzz_check.h"
#include "platform/text.h"

namespace {

using varnel::fuzz::require;

// Well-formed UTF-8 is exactly what survives the trip through UTF-16 unchanged: anything else has
// bytes replaced by U+FFFD on the way.
bool wellFormedUtf8(const std::string& text) { return varnel::platform::wideToUtf8(varnel::platform::utf8ToWide(text)) == text; }

void checkValue(const varnel::bridge::JSValue& value) {
    if (const std::string* text = value.asString()) require(wellFormedUtf8(*text), "strings are well-formed UTF-8");
    if (const varnel::bridge::JSValueArray* items = value.asArray())
        for (const varnel::bridge::JSValue& item : *items) checkValue(item);
    if (const varnel::bridge::JSValueObject* object = value.asObject()) {
        const std::string* previous = nullptr;
        for (const auto& [key, member] : *object) {
            require(wellFormedUtf8(key), "keys are well-formed UTF-8");
            require(!previous || *previous < key, "keys are unique and in byte order");
            previous = &key;
            checkValue(member);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const varnel::JsonParseResult parsed = varnel::parseJson(std::string_view(reinterpret_cast<const char*>(data), size));
    require(parsed.value.has_value() == parsed.error.empty(), "either a value or an error");
    if (!parsed.value) return 0;
    checkValue(*parsed.value);
    varnel::JsonTextWriter writer;
    varnel::bridge::writeJSValue(writer, *parsed.value);
    const varnel::JsonParseResult again = varnel::parseJson(writer.text());
    require(again.value && *again.value == *parsed.value, "written JSON reads back as the same value");
    return 0;
}
