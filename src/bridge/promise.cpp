#include "bridge/promise.h"

#include "bridge/js_value_write.h"
#include "platform/text.h"

namespace varnel::bridge {

PromiseCore::PromiseCore(MethodResultCallback resolve, MethodResultCallback reject)
    : resolve_(std::move(resolve)), reject_(std::move(reject)) {}

PromiseCore::~PromiseCore() {
    try {
        reject(kPromiseDestroyedMessage);
    } catch (...) {
        // A destructor must not throw; the host's callback failing here has nobody to tell.
    }
}

bool PromiseCore::claim(std::uint32_t settledState) {
    std::uint32_t expected = kPending;
    return state_.compare_exchange_strong(expected, settledState);
}

void PromiseCore::resolve(const std::function<void(JSValueWriter&)>& writeValue) {
    if (!claim(kResolved)) return;
    resolve_([&writeValue](JSValueWriter& w) {
        w.WriteArrayBegin();
        writeValue(w);
        w.WriteArrayEnd();
    });
}

void PromiseCore::reject(std::u16string_view message) {
    if (!claim(kRejected)) return;
    reject_([message](JSValueWriter& w) {
        w.WriteArrayBegin();
        w.WriteObjectBegin();
        w.WritePropertyName(u"code");
        w.WriteString(u"EUNSPECIFIED");
        w.WritePropertyName(u"message");
        w.WriteString(message);
        w.WritePropertyName(u"userInfo");
        w.WriteNull();
        w.WriteObjectEnd();
        w.WriteArrayEnd();
    });
}

void PromiseCore::reject(std::string_view messageUtf8) {
    if (settled()) return;  // spares the conversion; reject(u16) decides under the compare-and-swap
    reject(std::u16string_view(platform::utf8ToWide(messageUtf8)));
}

void writeResult(JSValueWriter& w, const std::string& value) { w.WriteString(platform::utf8ToWide(value)); }
void writeResult(JSValueWriter& w, bool value) { w.WriteBoolean(value); }
void writeResult(JSValueWriter& w, std::int32_t value) { w.WriteInt64(value); }
void writeResult(JSValueWriter& w, const JSValueObject& value) { writeJSValue(w, value); }
void writeResult(JSValueWriter& w, const JSValueArray& value) { writeJSValue(w, value); }

}  // namespace varnel::bridge
