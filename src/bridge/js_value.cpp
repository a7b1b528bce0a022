#include "bridge/js_value.h"

#include <algorithm>

namespace varnel::bridge {

namespace {
// std::string compares through char_traits<char>, which orders bytes as unsigned char: the byte-wise
// order the interface expects, with a prefix before its extensions.
bool keyLess(const JSValueObject::Entry& e, std::string_view key) { return std::string_view(e.first) < key; }
}  // namespace

JSValueObject::JSValueObject(std::initializer_list<Entry> entries) {
    for (const auto& [key, value] : entries) (*this)[key] = value;
}

JSValue& JSValueObject::operator[](std::string_view key) {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), key, keyLess);
    if (it == entries_.end() || it->first != key) it = entries_.emplace(it, std::string(key), JSValue());
    return it->second;
}

const JSValue* JSValueObject::find(std::string_view key) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), key, keyLess);
    return (it != entries_.end() && it->first == key) ? &it->second : nullptr;
}

bool operator==(const JSValueObject& a, const JSValueObject& b) { return a.entries_ == b.entries_; }

}  // namespace varnel::bridge
