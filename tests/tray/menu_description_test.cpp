#include <gtest/gtest.h>

#include "tray/menu_description.h"

namespace varnel::tray {
namespace {

struct ExtractCase {
    const char* name;
    std::string text;
    std::string key;
    std::string expected;
};

class ExtractJsonString : public testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractJsonString, ScansBytesAsTheInterfaceWritesThem) {
    EXPECT_EQ(extractJsonString(GetParam().text, GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractJsonString,
    testing::Values(
        ExtractCase{"Plain", R"({"label":"Paris"})", "label", "Paris"},
        ExtractCase{"BlankAfterColonIsNotFound", R"({"label": "Paris"})", "label", ""},
        ExtractCase{"EscapeStaysUndecoded", R"({"label":"Z\u00fcrich"})", "label", R"(Z\u00fcrich)"},
        ExtractCase{"EscapedQuoteEndsTheValueKeepingTheBackslash", R"({"label":"a\"b"})", "label", "a\\"},
        ExtractCase{"FirstOccurrenceWinsEvenNested", R"({"x":{"id":"inner"},"id":"outer"})", "id", "inner"},
        ExtractCase{"KeyIsMatchedWithItsQuotes", R"({"xid":"no","id":"yes"})", "id", "yes"},
        ExtractCase{"EmptyValue", R"({"id":""})", "id", ""},
        ExtractCase{"NeedleAtTheVeryEnd", R"({"id":")", "id", ""},
        ExtractCase{"NoClosingQuote", R"({"id":"abc)", "id", ""},
        ExtractCase{"NeedleLongerThanText", R"("id)", "id", ""},
        ExtractCase{"NonStringValue", R"({"id":5})", "id", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseMenuBarJson, ConnectedWithLabelAndTwoServers) {
    MenuBarState state;
    parseMenuBarJson(state, R"({"connected":true,"serverLabel":"Frankfurt 2","dedicated":[{"id":"s1","label":"Paris"},{"id":"s2"}]})");
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(state.serverLabel, u"Frankfurt 2");
    const std::vector<DedicatedServerItem> expected{{"s1", u"Paris"}, {"s2", u"s2"}};
    EXPECT_EQ(state.dedicatedServers, expected);
}

TEST(ParseMenuBarJson, LabelsAreConvertedFromUtf8) {
    MenuBarState state;
    parseMenuBarJson(state, "{\"serverLabel\":\"Z\xC3\xBCrich\",\"dedicated\":[{\"id\":\"\xC3\xA9\",\"label\":\"\"}]}");
    EXPECT_EQ(state.serverLabel, u"Z\u00FCrich");
    ASSERT_EQ(state.dedicatedServers.size(), 1u);
    EXPECT_EQ(state.dedicatedServers[0].id, "\xC3\xA9");
    EXPECT_EQ(state.dedicatedServers[0].label, u"\u00E9");
}

TEST(ParseMenuBarJson, BlankAfterTheColonOfConnectedReadsFalse) {
    MenuBarState state;
    parseMenuBarJson(state, R"({"connected": true,"serverLabel":"X"})");
    EXPECT_FALSE(state.connected);
    EXPECT_EQ(state.serverLabel, u"X");
}

TEST(ParseMenuBarJson, ObjectWithoutIdIsSkipped) {
    MenuBarState state;
    parseMenuBarJson(state, R"({"dedicated":[{"label":"Lost"},{"id":"s9","label":"Oslo"}]})");
    const std::vector<DedicatedServerItem> expected{{"s9", u"Oslo"}};
    EXPECT_EQ(state.dedicatedServers, expected);
}

TEST(ParseMenuBarJson, ClosingBracketInsideALabelEndsTheArray) {
    MenuBarState state;
    parseMenuBarJson(state, R"({"dedicated":[{"id":"a","label":"x]y"},{"id":"b","label":"B"}]})");
    // The array text ends inside the first label, so that object has no closing brace either.
    EXPECT_TRUE(state.dedicatedServers.empty());

    parseMenuBarJson(state, R"({"dedicated":[{"id":"a","label":"A"},{"id":"b","label":"x]y"},{"id":"c"}]})");
    const std::vector<DedicatedServerItem> expected{{"a", u"A"}};
    EXPECT_EQ(state.dedicatedServers, expected);
}

TEST(ParseMenuBarJson, NestedObjectEndsAtItsFirstClosingBrace) {
    MenuBarState state;
    parseMenuBarJson(state, R"({"dedicated":[{"meta":{"x":"1"},"id":"late"},{"id":"s2"}]})");
    // The first object ends inside "meta", so its "id" is never seen; the scan resumes behind that
    // brace and meets the second object.
    const std::vector<DedicatedServerItem> expected{{"s2", u"s2"}};
    EXPECT_EQ(state.dedicatedServers, expected);
}

TEST(ParseMenuBarJson, EachCallReplacesTheWholeDescriptionButNotTheOtherFields) {
    MenuBarState state;
    state.menuBarVisible = false;
    state.balloonTitle = u"kept";
    parseMenuBarJson(state, R"({"connected":true,"serverLabel":"A","dedicated":[{"id":"s1"}]})");
    for (const char* text : {"", "{}", "{\"x\":1}", "not json at all", R"({"dedicated":[{"id":"s1"})"}) {
        SCOPED_TRACE(text);
        parseMenuBarJson(state, R"({"connected":true,"serverLabel":"A","dedicated":[{"id":"s1"}]})");
        parseMenuBarJson(state, text);
        EXPECT_FALSE(state.connected);
        EXPECT_TRUE(state.serverLabel.empty());
        EXPECT_TRUE(state.dedicatedServers.empty());
    }
    EXPECT_FALSE(state.menuBarVisible);
    EXPECT_EQ(state.balloonTitle, u"kept");
}

}  // namespace
}  // namespace varnel::tray
