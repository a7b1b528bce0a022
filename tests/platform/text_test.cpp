#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace varnel::platform {
namespace {

// Run on both builds: the Windows one converts through the system, the Linux one through our own code,
// and the interface must see the same text from either.
TEST(TextConversion, WellFormedTextRoundTrips) {
    const std::string samples[] = {"", "plain", "caf\xC3\xA9", "\xE2\x82\xAC 5", "\xF0\x9F\x94\x92 lock", std::string("nul\0inside", 10)};
    for (const std::string& s : samples) EXPECT_EQ(wideToUtf8(utf8ToWide(s)), s);
    EXPECT_EQ(utf8ToWide("\xF0\x9F\x94\x92"), std::u16string(u"\U0001F512"));
    EXPECT_EQ(utf8ToWide("caf\xC3\xA9"), u"caf\u00e9");
}

TEST(TextConversion, UnpairedSurrogatesBecomeTheReplacementCharacter) {
    EXPECT_EQ(wideToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(wideToUtf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
    EXPECT_EQ(wideToUtf8(std::u16string{u'x', char16_t(0xD83D)}), "x\xEF\xBF\xBD");
}

TEST(TextConversion, IllFormedUtf8BecomesTheReplacementCharacter) {
    EXPECT_EQ(utf8ToWide("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(utf8ToWide("\x80"), u"\uFFFD");
    EXPECT_EQ(utf8ToWide("\xC3"), u"\uFFFD");
}

TEST(TextConversion, AppendUtf8UsesTheShortestFormAtEachLengthBoundary) {
    const std::pair<char32_t, std::string> cases[] = {
        {0x00, std::string(1, '\0')}, {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},           {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},      {0xFFFD, "\xEF\xBF\xBD"},
        {0xFFFF, "\xEF\xBF\xBF"},     {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [cp, bytes] : cases) {
        std::string out = "x";
        appendUtf8(out, cp);
        EXPECT_EQ(out, "x" + bytes) << std::hex << static_cast<std::uint32_t>(cp);
    }
}

}  // namespace
}  // namespace varnel::platform
