#pragma once
// The promise of one method call. Copies share one settlement state, changed only by a
// compare-and-swap, so the first resolve or reject wins from any thread and later ones are ignored.
// When the last copy goes away while the promise is still pending, it is rejected with
// "Promise destroyed.", so a caller is never left waiting.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bridge/host_interface.h"
#include "bridge/js_value.h"

namespace varnel::bridge {

inline constexpr std::string_view kPromiseDestroyedMessage = "Promise destroyed.";

class PromiseCore {
public:
    PromiseCore(MethodResultCallback resolve, MethodResultCallback reject);
    ~PromiseCore();
    PromiseCore(const PromiseCore&) = delete;
    PromiseCore& operator=(const PromiseCore&) = delete;

    // writeValue writes the one result value; the host receives it as an argument list of one element.
    void resolve(const std::function<void(JSValueWriter&)>& writeValue);
    void reject(std::string_view messageUtf8);
    void reject(std::u16string_view message);
    bool settled() const { return state_.load() != kPending; }

private:
    static constexpr std::uint32_t kPending = 0, kResolved = 1, kRejected = 2;
    bool claim(std::uint32_t settledState);

    std::atomic<std::uint32_t> state_{kPending};
    MethodResultCallback resolve_;
    MethodResultCallback reject_;
};

// Writes a result of one of the promise types: string, bool, int, object, array.
void writeResult(JSValueWriter& writer, const std::string& value);
void writeResult(JSValueWriter& writer, bool value);
void writeResult(JSValueWriter& writer, std::int32_t value);
void writeResult(JSValueWriter& writer, const JSValueObject& value);
void writeResult(JSValueWriter& writer, const JSValueArray& value);

// T is the promise type: std::string, bool, std::int32_t, JSValueObject, JSValueArray, or void.
template <class T>
class Promise {
public:
    Promise(MethodResultCallback resolve, MethodResultCallback reject)
        : core_(std::make_shared<PromiseCore>(std::move(resolve), std::move(reject))) {}

    // The value's type is never deduced from the argument, so "text" converts to std::string
    // instead of picking another result type.
    template <class U = T>
        requires(!std::is_void_v<U>)
    void resolve(const std::type_identity_t<U>& value) const {
        core_->resolve([&value](JSValueWriter& w) { writeResult(w, value); });
    }
    template <class U = T>
        requires std::is_void_v<U>
    void resolve() const {
        core_->resolve([](JSValueWriter& w) { w.WriteNull(); });
    }
    void reject(std::string_view messageUtf8) const { core_->reject(messageUtf8); }
    void reject(std::u16string_view message) const { core_->reject(message); }
    bool settled() const { return core_->settled(); }

private:
    std::shared_ptr<PromiseCore> core_;
};

}  // namespace varnel::bridge
