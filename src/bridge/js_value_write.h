#pragma once

#include "bridge/host_interface.h"
#include "bridge/js_value.h"

namespace varnel::bridge {

// Replays a value as writer calls: object keys in the value's byte-wise order, text as UTF-16.
void writeJSValue(JSValueWriter& writer, const JSValue& value);
void writeJSValue(JSValueWriter& writer, const JSValueObject& object);
void writeJSValue(JSValueWriter& writer, const JSValueArray& array);

}  // namespace varnel::bridge
