#pragma once
// The JSON-like value in which arguments arrive and results and event payloads leave.
// Strings are UTF-8. Object keys are kept sorted byte-wise (unsigned byte order, shorter prefix first).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace varnel::bridge {

class JSValue;

enum class JSValueType : int { Null = 0, Object = 1, Array = 2, String = 3, Boolean = 4, Int64 = 5, Double = 6 };

// A map from key to value kept as a vector sorted by key: result objects are small, and a sorted
// vector is cheaper to build and walk than a tree.
class JSValueObject {
public:
    using Entry = std::pair<std::string, JSValue>;

    JSValueObject() = default;
    JSValueObject(std::initializer_list<Entry> entries);

    // Returns the value under key, inserting Null there first when the key is absent.
    JSValue& operator[](std::string_view key);
    const JSValue* find(std::string_view key) const;

    std::size_t size() const;
    bool empty() const;
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    friend bool operator==(const JSValueObject&, const JSValueObject&);

private:
    std::vector<Entry> entries_;
};

using JSValueArray = std::vector<JSValue>;

class JSValue {
public:
    JSValue() = default;
    JSValue(std::nullptr_t) {}
    JSValue(JSValueObject o) : v_(std::move(o)) {}
    JSValue(JSValueArray a) : v_(std::move(a)) {}
    JSValue(std::string s) : v_(std::move(s)) {}
    JSValue(std::string_view s) : v_(std::string(s)) {}
    JSValue(const char* s) : v_(std::string(s)) {}
    JSValue(bool b) : v_(b) {}
    JSValue(std::int64_t n) : v_(n) {}
    JSValue(int n) : v_(std::int64_t{n}) {}
    JSValue(double d) : v_(d) {}

    JSValueType type() const { return static_cast<JSValueType>(v_.index()); }
    bool isNull() const { return type() == JSValueType::Null; }

    // Typed access; each returns nullptr when the value holds another type.
    const JSValueObject* asObject() const { return std::get_if<JSValueObject>(&v_); }
    JSValueObject* asObject() { return std::get_if<JSValueObject>(&v_); }
    const JSValueArray* asArray() const { return std::get_if<JSValueArray>(&v_); }
    JSValueArray* asArray() { return std::get_if<JSValueArray>(&v_); }
    const std::string* asString() const { return std::get_if<std::string>(&v_); }
    const bool* asBoolean() const { return std::get_if<bool>(&v_); }
    const std::int64_t* asInt64() const { return std::get_if<std::int64_t>(&v_); }
    const double* asDouble() const { return std::get_if<double>(&v_); }

    friend bool operator==(const JSValue& a, const JSValue& b) { return a.v_ == b.v_; }

private:
    // The alternatives' order is the type numbering above.
    std::variant<std::monostate, JSValueObject, JSValueArray, std::string, bool, std::int64_t, double> v_;
};

// Defined here, where JSValue is complete, because the entries' size depends on it.
inline std::size_t JSValueObject::size() const { return entries_.size(); }
inline bool JSValueObject::empty() const { return entries_.empty(); }

}  // namespace varnel::bridge
