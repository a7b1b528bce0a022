#include "bridge/js_value_write.h"

#include "platform/text.h"

namespace varnel::bridge {

// Recursion is bounded: values from outside come through the JSON reader, which caps nesting.
void writeJSValue(JSValueWriter& writer, const JSValue& value) {
    switch (value.type()) {
        case JSValueType::Null:
            writer.WriteNull();
            return;
        case JSValueType::Object:
            writeJSValue(writer, *value.asObject());
            return;
        case JSValueType::Array:
            writeJSValue(writer, *value.asArray());
            return;
        case JSValueType::String:
            writer.WriteString(platform::utf8ToWide(*value.asString()));
            return;
        case JSValueType::Boolean:
            writer.WriteBoolean(*value.asBoolean());
            return;
        case JSValueType::Int64:
            writer.WriteInt64(*value.asInt64());
            return;
        case JSValueType::Double:
            writer.WriteDouble(*value.asDouble());
            return;
    }
}

void writeJSValue(JSValueWriter& writer, const JSValueObject& object) {
    writer.WriteObjectBegin();
    for (const auto& [key, member] : object) {
        writer.WritePropertyName(platform::utf8ToWide(key));
        writeJSValue(writer, member);
    }
    writer.WriteObjectEnd();
}

void writeJSValue(JSValueWriter& writer, const JSValueArray& array) {
    writer.WriteArrayBegin();
    for (const JSValue& element : array) writeJSValue(writer, element);
    writer.WriteArrayEnd();
}

}  // namespace varnel::bridge
