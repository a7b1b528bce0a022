#pragma once
// Turns the host's stream of writer calls into compact JSON text, for the stdio host's output lines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/host_interface.h"

namespace varnel {

class JsonTextWriter final : public bridge::JSValueWriter {
public:
    // With skipOuterArray, the outermost array is not written but stands for its first element, the
    // way a promise settles with the first of its callback's arguments: a result written as an argument
    // list then reads as the value alone. An empty list stands for null and any further elements are
    // dropped, so the output stays one valid JSON value whatever the list held.
    explicit JsonTextWriter(bool skipOuterArray = false) : skipOuterArray_(skipOuterArray) {}

    const std::string& text() const { return text_; }
    // Hands over the text and leaves the writer empty, ready for the next value.
    std::string take();

    // Appends text as it is, with no separator: for the fixed framing around a written value.
    void writeRaw(std::string_view raw) { text_.append(raw); }

    void WriteNull() override;
    void WriteBoolean(bool value) override;
    void WriteInt64(std::int64_t value) override;
    // Shortest text that reads back as the same double, always with a '.' or an exponent so that a
    // reader keeps it a double; NaN and infinities have no JSON form and are written as null.
    void WriteDouble(double value) override;
    void WriteString(std::u16string_view value) override;
    void WriteObjectBegin() override;
    void WritePropertyName(std::u16string_view name) override;
    void WriteObjectEnd() override;
    void WriteArrayBegin() override;
    void WriteArrayEnd() override;

private:
    enum class Frame : unsigned char { Array, Object, SkippedArray };
    struct Level {
        Frame frame;
        std::size_t count;  // elements or properties begun so far
    };

    void beginValue();
    void appendQuoted(std::u16string_view value);
    std::string& out() { return discarding_ ? discarded_ : text_; }

    std::string text_;
    // Receives the elements of a skipped outer array after the first, which are thrown away.
    std::string discarded_;
    std::vector<Level> levels_;
    bool discarding_ = false;
    bool skipOuterArray_;
};

}  // namespace varnel
