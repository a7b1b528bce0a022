#pragma once
// A writer that rebuilds the value it is given, so tests can look at exactly what a host received.

#include <string>
#include <vector>

#include "bridge/host_interface.h"
#include "bridge/js_value.h"

namespace varnel::test {

class ValueCapture final : public JSValueWriter {
public:
    // The value written; once the outermost value is complete.
    const JSValue& value() const { return root_; }
    // Property names in the order the host received them, across all objects.
    const std::vector<std::string>& propertyOrder() const { return propertyOrder_; }

    void WriteNull() override { put(JSValue()); }
    void WriteBoolean(bool v) override { put(JSValue(v)); }
    void WriteInt64(std::int64_t v) override { put(JSValue(v)); }
    void WriteDouble(double v) override { put(JSValue(v)); }
    void WriteString(std::u16string_view v) override;
    void WriteObjectBegin() override { open(JSValue(JSValueObject{})); }
    void WritePropertyName(std::u16string_view name) override;
    void WriteObjectEnd() override { close(); }
    void WriteArrayBegin() override { open(JSValue(JSValueArray{})); }
    void WriteArrayEnd() override { close(); }

private:
    void put(JSValue v);
    void open(JSValue container);
    void close();

    JSValue root_;
    std::vector<JSValue> stack_;
    std::vector<std::string> pendingNames_;
    std::vector<std::string> propertyOrder_;
};

// Captures what a writer function writes.
template <class WriteFn>
JSValue capture(const WriteFn& write) {
    ValueCapture c;
    write(c);
    return c.value();
}

}  // namespace varnel::test
