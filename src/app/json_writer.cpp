#include "app/json_writer.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace varnel {

std::string JsonTextWriter::take() {
    std::string text = std::move(text_);
    text_.clear();
    discarded_.clear();
    levels_.clear();
    discarding_ = false;
    return text;
}

// Puts the separator a new value needs in its container. Inside an object the separator went out
// with the property name.
void JsonTextWriter::beginValue() {
    if (levels_.empty()) return;
    Level& top = levels_.back();
    switch (top.frame) {
        case Frame::Array:
            if (top.count++ > 0) out() += ',';
            break;
        case Frame::Object:
            break;
        case Frame::SkippedArray:
            discarding_ = top.count++ > 0;
            discarded_.clear();
            break;
    }
}

void JsonTextWriter::appendQuoted(std::u16string_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Converting first means unpaired surrogates are already U+FFFD, so the output is valid UTF-8.
    const std::string utf8 = platform::wideToUtf8(value);
    std::string& o = out();
    o += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            case '\b': o += "\\b"; break;
            case '\f': o += "\\f"; break;
            case '\n': o += "\\n"; break;
            case '\r': o += "\\r"; break;
            case '\t': o += "\\t"; break;
            default:
                if (c < 0x20) {
                    o += "\\u00";
                    o += kHex[c >> 4];
                    o += kHex[c & 0xF];
                } else {
                    o += ch;
                }
        }
    }
    o += '"';
}

void JsonTextWriter::WriteNull() {
    beginValue();
    out() += "null";
}

void JsonTextWriter::WriteBoolean(bool value) {
    beginValue();
    out() += value ? "true" : "false";
}

void JsonTextWriter::WriteInt64(std::int64_t value) {
    beginValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out().append(buffer, result.ptr);
}

void JsonTextWriter::WriteDouble(double value) {
    beginValue();
    std::string& o = out();
    if (!std::isfinite(value)) {
        o += "null";
        return;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view digits(buffer, static_cast<std::size_t>(result.ptr - buffer));
    o += digits;
    // Without this a whole double would read back as Int64.
    if (digits.find_first_of(".e") == std::string_view::npos) o += ".0";
}

void JsonTextWriter::WriteString(std::u16string_view value) {
    beginValue();
    appendQuoted(value);
}

void JsonTextWriter::WriteObjectBegin() {
    beginValue();
    out() += '{';
    levels_.push_back({Frame::Object, 0});
}

void JsonTextWriter::WritePropertyName(std::u16string_view name) {
    if (!levels_.empty() && levels_.back().count++ > 0) out() += ',';
    appendQuoted(name);
    out() += ':';
}

void JsonTextWriter::WriteObjectEnd() {
    if (levels_.empty()) return;  // unbalanced call: keep what was written intact
    levels_.pop_back();
    out() += '}';
}

void JsonTextWriter::WriteArrayBegin() {
    if (skipOuterArray_ && levels_.empty()) {
        levels_.push_back({Frame::SkippedArray, 0});
        return;
    }
    beginValue();
    out() += '[';
    levels_.push_back({Frame::Array, 0});
}

void JsonTextWriter::WriteArrayEnd() {
    if (levels_.empty()) return;  // unbalanced call: keep what was written intact
    const Level level = levels_.back();
    levels_.pop_back();
    if (level.frame == Frame::SkippedArray) {
        discarding_ = false;
        discarded_.clear();
        if (level.count == 0) text_ += "null";
        return;
    }
    out() += ']';
}

}  // namespace varnel
