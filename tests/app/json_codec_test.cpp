#include <gtest/gtest.h>

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "bridge/js_value_write.h"

namespace varnel {
namespace {

using namespace std::string_literals;

const std::string kFFFD = "\xEF\xBF\xBD";

std::string toJson(const bridge::JSValue& value, bool skipOuterArray = false) {
    JsonTextWriter writer(skipOuterArray);
    bridge::writeJSValue(writer, value);
    return writer.take();
}

// The line as the host reads it and writes it back out, or the reader's error.
std::string throughCodec(std::string_view text) {
    const JsonParseResult parsed = parseJson(text);
    EXPECT_NE(parsed.value.has_value(), !parsed.error.empty()) << text;
    return parsed.value ? toJson(*parsed.value) : "error: " + parsed.error;
}

std::string nested(const std::string& open, const std::string& close, int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += open;
    text += '0';
    for (int i = 0; i < levels; ++i) text += close;
    return text;
}

TEST(JsonCodec, LinesReadAndWrittenBack) {
    const std::string end = "error: Unexpected end of input.", deep = "error: Nesting deeper than 256 levels.";
    const auto at = [](int offset) { return "error: Unexpected character at offset " + std::to_string(offset) + "."; };
    const std::pair<std::string, std::string> cases[] = {
        // Integers that fit in 64 bits stay integers; every other number is a double and says so.
        {"[ -0 ,9223372036854775807,-9223372036854775808,9223372036854775808,-9223372036854775809]",
         "[0,9223372036854775807,-9223372036854775808,9223372036854775808.0,-9223372036854775808.0]"},
        {"[1.0,1E+2,-1.5e-3,0.1,5e-324,1.7976931348623157e308,1e21,-1e300]",
         "[1.0,100.0,-0.0015,0.1,5e-324,1.7976931348623157e+308,1e+21,-1e+300]"},
        {"[1e-400,-1e-400,0.0000001e-400,9007199254740993.0]", "[0.0,-0.0,0.0,9007199254740992.0]"},
        {"1e400", "error: Number out of range at offset 0."}, {"[-1e400]", "error: Number out of range at offset 1."},
        {"01", at(1)}, {"-01", at(2)}, {"+1", at(0)}, {".5", at(0)}, {"1.", end}, {"1.e5", at(2)}, {"- 1", at(1)},
        {"1e+", end}, {"NaN", at(0)}, {"-Infinity", at(1)}, {"0x10", at(1)},
        // Structure.
        {"", end}, {"[1,]", at(3)}, {"[1 2]", at(3)}, {R"({"a":1,})", at(7)}, {R"({"a" 1})", at(5)}, {"{a:1}", at(1)},
        {R"({"a")", end}, {"tru", end}, {"nulL", at(3)}, {"'a'", at(0)}, {"[1] x", at(4)}, {"\xEF\xBB\xBF" "1", at(0)},
        {"/*c*/1", at(0)}, {" [ 1 , { \"k\" : \"v\" } ] \r\n", R"([1,{"k":"v"}])"},
        {R"({"a":[1,-2.5,"x\n\u0001\"",true,false,null,{},[]],"b":{"c":[[0.0],{"d":1e+300}]}})",
         R"({"a":[1,-2.5,"x\n\u0001\"",true,false,null,{},[]],"b":{"c":[[0.0],{"d":1e+300}]}})"},
        // The last of duplicate keys wins, and keys come out in byte order.
        {R"({"b":1,"a":2,"b":3,"\u0062":4,"c":{"x":1,"x":[5]}})", R"({"a":2,"b":4,"c":{"x":[5]}})"},
        {R"({"\u00e9":1,"z":2,"Z":3,"":4,"upBps":5,"up":6})", "{\"\":4,\"Z\":3,\"up\":6,\"upBps\":5,\"z\":2,\"\xC3\xA9\":1}"},
        {nested("[", "]", 256), nested("[", "]", 256)}, {nested("{\"a\":", "}", 256), nested("{\"a\":", "}", 256)},
        {nested("[", "]", 257), deep}, {nested("{\"a\":", "}", 257), deep}, {std::string(100000, '['), deep},
        {nested("[{\"k\":", "", 50000), deep},
        // Strings come out as valid UTF-8, only quotes, backslashes and control characters escaped.
        {R"("\"\\\/\b\f\n\r\t")", R"("\"\\/\b\f\n\r\t")"}, {R"("\u0000\u001f\u007f")", "\"\\u0000\\u001f\x7F\""},
        {R"("\u0080\u07ff\u0800\uffff\ud83d\ude00\udbff\udfff")",
         "\"\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
        {R"("\ud800")", "\"" + kFFFD + "\""}, {R"("\udc00\ud800x")", "\"" + kFFFD + kFFFD + "x\""},
        {R"("\ud800\n")", "\"" + kFFFD + "\\n\""}, {R"("\ud800\ud800\udc00")", "\"" + kFFFD + "\xF0\x90\x80\x80\""},
        {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\"\xC3\xA9\xF0\x9F\x98\x80\""}, {"\"a\xFF" "b\x80\"", "\"a" + kFFFD + "b" + kFFFD + "\""},
        {"\"\xC0\xAF\"", "\"" + kFFFD + kFFFD + "\""},                     // overlong '/'
        {"\"\xED\xA0\x80\"", "\"" + kFFFD + kFFFD + kFFFD + "\""},         // an encoded surrogate
        {"\"\xF4\x90\x80\x80\"", "\"" + kFFFD + kFFFD + kFFFD + kFFFD + "\""},  // beyond U+10FFFF
        {"\"\xE2\x82" "x\xF0\x9F\x98\"", "\"" + kFFFD + "x" + kFFFD + "\""},  // cut short: one U+FFFD per prefix
        {"\"abc", end}, {R"("\x")", "error: Invalid escape at offset 1."}, {R"("\u12g4")", "error: Invalid escape at offset 1."},
        {R"("\u12)", end}, {"\"a\nb\"", "error: Control character in a string at offset 2."},
        {"\"a\0b\""s, "error: Control character in a string at offset 2."},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(throughCodec(in), out) << in.substr(0, 80);
}

// What only the writer meets: numbers JSON cannot hold, and ill-formed UTF-8 bytes or UTF-16 units from the modules.
TEST(JsonCodec, WriterKeepsItsOutputValidJson) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(toJson(bridge::JSValueArray{std::numeric_limits<double>::quiet_NaN(), kInf, -kInf}), "[null,null,null]");
    EXPECT_EQ(toJson(bridge::JSValue("a\xFF" "b\xE2\x82" "x")), "\"a" + kFFFD + "b" + kFFFD + "x\"");
    for (const auto& [units, text] :
         {std::pair(u"a\xD800" u"b"s, "\"a" + kFFFD + "b\""), std::pair(u"\xDE00\xD83D"s, "\"" + kFFFD + kFFFD + "\"")}) {
        JsonTextWriter writer;
        writer.WriteObjectBegin();
        writer.WritePropertyName(units);
        writer.WriteString(units);
        writer.WriteObjectEnd();
        EXPECT_EQ(writer.take(), "{" + text + ":" + text + "}");
    }
    // A promise's argument list stands for its first element, and the output stays one value.
    EXPECT_EQ(toJson(bridge::JSValueArray{}, true), "null");
    EXPECT_EQ(toJson(bridge::JSValueArray{bridge::JSValueArray{1}, bridge::JSValueObject{{"y", bridge::JSValueArray{2}}}}, true), "[1]");
}

}  // namespace
}  // namespace varnel
