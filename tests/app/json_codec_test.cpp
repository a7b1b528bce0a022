#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "bridge/js_value.h"
#include "bridge/js_value_write.h"
#include "platform/text.h"

namespace varnel {
namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

std::string toJson(const JSValue& value, bool skipOuterArray = false) {
    JsonTextWriter writer(skipOuterArray);
    writeJSValue(writer, value);
    return writer.take();
}

JSValue parseOk(std::string_view text) {
    JsonParseResult result = parseJson(text);
    EXPECT_TRUE(result.value.has_value()) << text << ": " << result.error;
    EXPECT_EQ(result.error, "");
    return result.value.value_or(JSValue("<parse failed>"));
}

TEST(JsonReader, NumbersBecomeInt64OnlyWhenIntegralAndInRange) {
    const struct {
        const char* text;
        JSValue expected;
    } cases[] = {
        {"0", JSValue(std::int64_t{0})},
        {"-0", JSValue(std::int64_t{0})},
        {" 42 ", JSValue(std::int64_t{42})},
        {"9223372036854775807", JSValue(std::numeric_limits<std::int64_t>::max())},
        {"-9223372036854775808", JSValue(std::numeric_limits<std::int64_t>::min())},
        {"9223372036854775808", JSValue(9223372036854775808.0)},
        {"-9223372036854775809", JSValue(-9223372036854775809.0)},
        {"1.0", JSValue(1.0)},
        {"1e2", JSValue(100.0)},
        {"1E+2", JSValue(100.0)},
        {"-1.5e-3", JSValue(-0.0015)},
        {"0.1", JSValue(0.1)},
        {"5e-324", JSValue(5e-324)},
        {"1.7976931348623157e308", JSValue(1.7976931348623157e308)},
        {"1e-400", JSValue(0.0)},
        {"0.0000001e-400", JSValue(0.0)},
    };
    for (const auto& c : cases) {
        const JSValue value = parseOk(c.text);
        EXPECT_EQ(value.type(), c.expected.type()) << c.text;
        EXPECT_EQ(value, c.expected) << c.text;
    }
    EXPECT_TRUE(std::signbit(*parseOk("-1e-400").asDouble()));
}

TEST(JsonReader, RejectsMalformedTextWithASentence) {
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "Unexpected end of input."},
        {"  \n", "Unexpected end of input."},
        {"01", "Unexpected character at offset 1."},
        {"-01", "Unexpected character at offset 2."},
        {"+1", "Unexpected character at offset 0."},
        {".5", "Unexpected character at offset 0."},
        {"1.", "Unexpected end of input."},
        {"1.e5", "Unexpected character at offset 2."},
        {"-", "Unexpected end of input."},
        {"- 1", "Unexpected character at offset 1."},
        {"1e", "Unexpected end of input."},
        {"1e+", "Unexpected end of input."},
        {"NaN", "Unexpected character at offset 0."},
        {"-Infinity", "Unexpected character at offset 1."},
        {"0x10", "Unexpected character at offset 1."},
        {"1e400", "Number out of range at offset 0."},
        {"[-1e400]", "Number out of range at offset 1."},
        {"[1,]", "Unexpected character at offset 3."},
        {"[1 2]", "Unexpected character at offset 3."},
        {"{\"a\":1,}", "Unexpected character at offset 7."},
        {"{\"a\" 1}", "Unexpected character at offset 5."},
        {"{a:1}", "Unexpected character at offset 1."},
        {"{\"a\"", "Unexpected end of input."},
        {"[", "Unexpected end of input."},
        {"tru", "Unexpected end of input."},
        {"nulL", "Unexpected character at offset 3."},
        {"'a'", "Unexpected character at offset 0."},
        {"\"abc", "Unexpected end of input."},
        {"\"\\x\"", "Invalid escape at offset 1."},
        {"\"\\u12g4\"", "Invalid escape at offset 1."},
        {"\"\\u12\"", "Invalid escape at offset 1."},
        {"\"\\u12", "Unexpected end of input."},
        {"\"a\nb\"", "Control character in a string at offset 2."},
        {std::string("\"a\0b\"", 5), "Control character in a string at offset 2."},
        {"[1] x", "Unexpected character at offset 4."},
        {"1 2", "Unexpected character at offset 2."},
        {"\xEF\xBB\xBF" "1", "Unexpected character at offset 0."},
        {"/*c*/1", "Unexpected character at offset 0."},
    };
    for (const auto& c : cases) {
        const JsonParseResult result = parseJson(c.text);
        EXPECT_FALSE(result.value.has_value()) << c.text;
        EXPECT_EQ(result.error, c.error) << c.text;
    }
}

TEST(JsonReader, StringsAlwaysComeOutAsValidUtf8) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\u0000")", std::string(1, '\0')},
        {R"("\u00e9\u20AC")", "\xC3\xA9\xE2\x82\xAC"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("\ud800")", kFFFD},
        {R"("\udc00")", kFFFD},
        {R"("\udc00\ud800")", kFFFD + kFFFD},
        {R"("\ud800x")", kFFFD + "x"},
        {R"("\ud800\n")", kFFFD + "\n"},
        {R"("\ud800\ud800\udc00")", kFFFD + "\xF0\x90\x80\x80"},
        {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\xC3\xA9\xF0\x9F\x98\x80"},
        {"\"\x7F\"", "\x7F"},
        {"\"a\xFF" "b\"", "a" + kFFFD + "b"},
        {"\"\xC0\xAF\"", kFFFD + kFFFD},                   // overlong '/'
        {"\"\xED\xA0\x80\"", kFFFD + kFFFD + kFFFD},       // an encoded surrogate
        {"\"\xF4\x90\x80\x80\"", kFFFD + kFFFD + kFFFD + kFFFD},  // beyond U+10FFFF
        {"\"\xE2\x82" "x\"", kFFFD + "x"},                 // cut short: one U+FFFD for the prefix
        {"\"\xF0\x9F\x98\"", kFFFD},
        {"\"\x80\"", kFFFD},
    };
    for (const auto& c : cases) {
        const JSValue value = parseOk(c.text);
        ASSERT_NE(value.asString(), nullptr) << c.text;
        EXPECT_EQ(*value.asString(), c.expected) << c.text;
    }
}

TEST(JsonReader, ObjectsKeepTheLastOfDuplicateKeys) {
    const JSValue value = parseOk(R"({"b":1,"a":2,"b":3,"\u0062":4,"c":{"x":1,"x":[5]}})");
    const JSValue expected = JSValueObject{{"a", 2}, {"b", 4}, {"c", JSValueObject{{"x", JSValueArray{5}}}}};
    EXPECT_EQ(value, expected);
}

TEST(JsonReader, NestingIsCappedAt256Levels) {
    const auto nested = [](const std::string& open, const std::string& close, int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i) text += open;
        text += '0';
        for (int i = 0; i < levels; ++i) text += close;
        return text;
    };
    EXPECT_TRUE(parseJson(nested("[", "]", 256)).value.has_value());
    EXPECT_TRUE(parseJson(nested("{\"a\":", "}", 256)).value.has_value());
    for (const std::string& text : {nested("[", "]", 257), nested("{\"a\":", "}", 257),
                                    std::string(100000, '['), nested("[{\"k\":", "", 50000)}) {
        const JsonParseResult result = parseJson(text);
        EXPECT_FALSE(result.value.has_value());
        EXPECT_EQ(result.error, "Nesting deeper than 256 levels.");
    }
}

TEST(JsonWriter, DoublesKeepADotOrExponentAndReadBackExactly) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {2000.0, "2000.0"},
        {1.5, "1.5"},
        {1e21, "1e+21"},
        {-0.0, "-0.0"},
        {0.1, "0.1"},
        {5e-324, "5e-324"},
        {-1e300, "-1e+300"},
        {9007199254740993.0, "9007199254740992.0"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
        {-std::numeric_limits<double>::infinity(), "null"},
    };
    for (const auto& c : cases) {
        const std::string text = toJson(c.value);
        EXPECT_EQ(text, c.text);
        if (!std::isfinite(c.value)) continue;
        const JSValue back = parseOk(text);
        ASSERT_NE(back.asDouble(), nullptr) << text;
        EXPECT_EQ(*back.asDouble(), c.value) << text;
        EXPECT_EQ(std::signbit(*back.asDouble()), std::signbit(c.value)) << text;
    }
    EXPECT_EQ(toJson(JSValueArray{std::numeric_limits<std::int64_t>::min(), std::int64_t{0}}),
              "[-9223372036854775808,0]");
}

TEST(JsonWriter, EscapesQuotesBackslashesAndControlCharactersOnly) {
    const struct {
        std::u16string value;
        std::string text;
    } cases[] = {
        {u"a\"b\\c/d", R"("a\"b\\c/d")"},
        {u"\n\r\t\b\f", R"("\n\r\t\b\f")"},
        {std::u16string(u"\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
        {u"\x7f\u00e9\u2028", "\"\x7F\xC3\xA9\xE2\x80\xA8\""},
        {u"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\""},
        {u"a\xD800" u"b", "\"a" + kFFFD + "b\""},
        {u"\xDE00\xD83D", "\"" + kFFFD + kFFFD + "\""},
    };
    for (const auto& c : cases) {
        JsonTextWriter writer;
        writer.WriteObjectBegin();
        writer.WritePropertyName(c.value);
        writer.WriteString(c.value);
        writer.WriteObjectEnd();
        EXPECT_EQ(writer.text(), "{" + c.text + ":" + c.text + "}");
    }
}

TEST(JsonWriter, ObjectKeysComeOutInByteOrder) {
    JSValueObject status;
    status["upBps"] = 2;
    status["downBps"] = 1;
    status["connected"] = true;
    EXPECT_EQ(toJson(status), R"({"connected":true,"downBps":1,"upBps":2})");
    EXPECT_EQ(toJson(parseOk(R"({"\u00e9":1,"z":2,"Z":3,"":4})")), "{\"\":4,\"Z\":3,\"z\":2,\"\xC3\xA9\":1}");
}

TEST(JsonCodec, CanonicalTextSurvivesParseAndWrite) {
    const std::string text =
        R"({"a":[1,-2.5,"x\n\u0001\"",true,false,null,{},[]],"b":{"c":[[0.0],{"d":1e+300}]},"e":-9223372036854775808})";
    EXPECT_EQ(toJson(parseOk(text)), text);
    EXPECT_EQ(toJson(parseOk(" [ 1 , { \"k\" : \"v\" } ] \r\n")), R"([1,{"k":"v"}])");
}

TEST(JsonWriter, SkippedOuterArrayStandsForItsFirstElement) {
    const struct {
        JSValue args;
        bool skip;
        const char* text;
    } cases[] = {
        {JSValueArray{JSValueObject{{"x", 1}}}, true, R"({"x":1})"},
        {JSValueArray{JSValueArray{1, 2}}, true, "[1,2]"},
        {JSValueArray{}, true, "null"},
        {JSValueArray{1, JSValueArray{2, 3}, "four"}, true, "1"},
        {JSValueArray{JSValueArray{1}, JSValueObject{{"y", JSValueArray{2}}}}, true, "[1]"},
        {JSValueArray{1, JSValueArray{2, 3}}, false, "[1,[2,3]]"},
    };
    for (const auto& c : cases) {
        JsonTextWriter writer(c.skip);
        writer.writeRaw(R"({"id":1,"result":)");
        writeJSValue(writer, c.args);
        writer.writeRaw("}");
        EXPECT_EQ(writer.take(), std::string(R"({"id":1,"result":)") + c.text + "}");
        // The writer starts afresh after take().
        writeJSValue(writer, c.args);
        EXPECT_EQ(writer.take(), c.text);
    }
}

// Mutated JSON must give a value or an error, never a crash; whatever parses must write out as valid
// UTF-8 that parses back to the same value.
TEST(JsonCodec, MutatedInputEitherFailsOrRoundTrips) {
    const std::string seed =
        R"({"a":[1,-2.5e-3,"x\ud83d\ude00\u00e9",true,null,{"b":[]}],"c":"\u0001\"","d":9223372036854775807})";
    static constexpr char kAlphabet[] = "{}[],:\"\\u0123456789abcdefE.+-trnlsx \xC3\xA9\xED\xA0\xFF\x00\x1F";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    std::mt19937 random(12345);
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % (text.size() + 1);
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0: text.insert(at, 1, c); break;
                case 1: if (at < text.size()) text[at] = c; break;
                default: if (at < text.size()) text.erase(at, 1); break;
            }
        }
        const JsonParseResult result = parseJson(text);
        ASSERT_NE(result.value.has_value(), !result.error.empty()) << text;
        if (!result.value) continue;
        ++parsed;
        const std::string written = toJson(*result.value);
        EXPECT_EQ(platform::wideToUtf8(platform::utf8ToWide(written)), written) << text;
        const JsonParseResult again = parseJson(written);
        ASSERT_TRUE(again.value.has_value()) << written << ": " << again.error;
        EXPECT_EQ(*again.value, *result.value) << written;
    }
    EXPECT_GT(parsed, 100);
}

}  // namespace
}  // namespace varnel
