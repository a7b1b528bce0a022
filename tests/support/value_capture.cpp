#include "support/value_capture.h"

#include "platform/text.h"

namespace varnel::test {

void ValueCapture::WriteString(std::u16string_view v) { put(JSValue(platform::wideToUtf8(v))); }

void ValueCapture::WritePropertyName(std::u16string_view name) {
    pendingNames_.push_back(platform::wideToUtf8(name));
    propertyOrder_.push_back(pendingNames_.back());
}

void ValueCapture::put(JSValue v) {
    if (stack_.empty()) {
        root_ = std::move(v);
        return;
    }
    JSValue& top = stack_.back();
    if (JSValueObject* object = top.asObject()) {
        (*object)[pendingNames_.back()] = std::move(v);
        pendingNames_.pop_back();
    } else {
        top.asArray()->push_back(std::move(v));
    }
}

void ValueCapture::open(JSValue container) { stack_.push_back(std::move(container)); }

void ValueCapture::close() {
    JSValue done = std::move(stack_.back());
    stack_.pop_back();
    put(std::move(done));
}

}  // namespace varnel::test
