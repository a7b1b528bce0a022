#include <gtest/gtest.h>

#include "tray/tray_texts.h"

namespace varnel::tray {
namespace {

MenuBarState connectedTo(std::u16string label) {
    MenuBarState state;
    state.connected = true;
    state.serverLabel = std::move(label);
    return state;
}

TEST(TooltipText, FollowsTheConnectedFlagAndLabel) {
    EXPECT_EQ(buildTooltipText(connectedTo(u"Frankfurt 2")), u"Varnel VPN - Connected (Frankfurt 2)");
    EXPECT_EQ(buildTooltipText(connectedTo(u"")), u"Varnel VPN - Connected");
    MenuBarState disconnected = connectedTo(u"Frankfurt 2");
    disconnected.connected = false;
    EXPECT_EQ(buildTooltipText(disconnected), u"Varnel VPN - Disconnected");
}

TEST(TooltipText, LongLabelIsCutTo127UnitsWithoutTheClosingParenthesis) {
    const std::u16string tip = buildTooltipText(connectedTo(std::u16string(200, u'x')));
    ASSERT_EQ(tip.size(), 127u);
    EXPECT_EQ(tip, (u"Varnel VPN - Connected (" + std::u16string(200, u'x')).substr(0, 127));
    EXPECT_NE(tip.back(), u')');
}

TEST(TooltipText, CutCountsUtf16UnitsNotCharacters) {
    // A label of astral characters: each is two units, so the cut may split a pair as the fixed
    // field does.
    std::u16string label;
    for (int i = 0; i < 60; ++i) label += u"\U0001F600";
    EXPECT_EQ(buildTooltipText(connectedTo(label)).size(), 127u);
}

TEST(MenuStatusText, ReadsAsTheMenuShowsIt) {
    EXPECT_EQ(menuStatusText(true, u"Frankfurt 2"), u"Connected: Frankfurt 2");
    EXPECT_EQ(menuStatusText(true, u""), u"Connected");
    EXPECT_EQ(menuStatusText(false, u"Frankfurt 2"), u"Not connected");
}

TEST(BackgroundNoticeText, NamesTheServerWithAFullStopOrFallsBack) {
    EXPECT_EQ(backgroundNoticeText(u"Frankfurt 2"), u"Protected via Frankfurt 2.");
    EXPECT_EQ(backgroundNoticeText(u""), u"Your VPN tunnel remains active in the background.");
}

TEST(CutUnits, KeepsShortTextAndCutsLongText) {
    EXPECT_EQ(cutUnits(u"abc", 63), u"abc");
    EXPECT_EQ(cutUnits(std::u16string(80, u't'), 63), std::u16string(63, u't'));
    EXPECT_EQ(cutUnits(u"", 5), u"");
}

}  // namespace
}  // namespace varnel::tray
