#include <gtest/gtest.h>

#include "support/storage_fixture.h"
#include "support/tray_fixture.h"
#include "tray/tray_constants.h"
#include "tray/tray.h"
#include "tray/tray_thread.h"

namespace varnel::tray {
namespace {

using test::TrayFixture;

std::vector<test::ShellCall> balloons(const TrayFixture& f) {
    std::vector<test::ShellCall> found;
    for (const test::ShellCall& c : f.shell->calls())
        if (c.what == "balloon") found.push_back(c);
    return found;
}

MenuBarState stateOf(const TrayFixture& f) {
    TrayCore& core = *f.runtime->tray.core();
    std::lock_guard lock(core.trayMutex);
    return core.state;
}

struct NoticeCase {
    const char* name;
    std::string label;  // ASCII
    std::u16string text;
};

class BackgroundNotice : public testing::TestWithParam<NoticeCase> {};

TEST_P(BackgroundNotice, ConnectedTrayShowsTheBalloonOnce) {
    TrayFixture f;
    f.host.initialize();
    f.host.callAndWait("updateMenuBarMenu",
                       test::args({R"({"connected":true,"serverLabel":")" + GetParam().label + R"("})"}));
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(f.host.callAndWait("notifyVpnConnectedOnHide").value, JSValue(true));
    ASSERT_TRUE(f.settled());
    const auto shown = balloons(f);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, u"Varnel VPN is still connected");
    EXPECT_EQ(shown[0].second, GetParam().text);
    // A later refresh does not bring the balloon back.
    f.host.callAndWait("setMenuBarVisible", test::args({true}));
    ASSERT_TRUE(f.settled());
    EXPECT_EQ(balloons(f).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, BackgroundNotice,
    testing::Values(NoticeCase{"Named", "Frankfurt 2", u"Protected via Frankfurt 2."},
                    NoticeCase{"Empty", "", u"Your VPN tunnel remains active in the background."},
                    NoticeCase{"LongIsCutTo255", std::string(300, 'L'),
                               (u"Protected via " + std::u16string(300, u'L')).substr(0, 255)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackgroundNoticeState, NotConnectedClearsTheTextsAndShowsNothing) {
    TrayFixture f;
    f.host.initialize();
    f.host.callAndWait("updateMenuBarMenu", test::args({R"({"connected":true,"serverLabel":"A"})"}));
    f.runtime->tray.showBackgroundNotice();
    EXPECT_EQ(stateOf(f).balloonText, u"Protected via A.");
    f.host.callAndWait("updateMenuBarMenu", test::args({R"({"connected":false})"}));
    ASSERT_TRUE(f.settled());
    f.shell->clearCalls();
    f.runtime->tray.showBackgroundNotice();
    ASSERT_TRUE(f.settled());
    EXPECT_TRUE(stateOf(f).balloonTitle.empty());
    EXPECT_TRUE(stateOf(f).balloonText.empty());
    EXPECT_TRUE(balloons(f).empty());
    // A balloon message that arrives anyway has nothing to show.
    f.post(kWmTrayBalloon);
    ASSERT_TRUE(f.settled());
    EXPECT_TRUE(balloons(f).empty());
}

TEST(BackgroundNoticeState, HiddenIconShowsNoBalloonNowOrWhenItComesBack) {
    TrayFixture f;
    f.host.initialize();
    f.host.callAndWait("updateMenuBarMenu", test::args({R"({"connected":true,"serverLabel":"A"})"}));
    f.host.callAndWait("setMenuBarVisible", test::args({false}));
    f.host.callAndWait("notifyVpnConnectedOnHide");
    ASSERT_TRUE(f.settled());
    f.host.callAndWait("setMenuBarVisible", test::args({true}));
    ASSERT_TRUE(f.settled());
    EXPECT_TRUE(balloons(f).empty());
    EXPECT_EQ(f.shell->calls().back().what, "add");
}

TEST(BackgroundNoticeState, BalloonTitleIsCutTo63Units) {
    TrayFixture f;
    f.host.initialize();
    ASSERT_TRUE(f.settled());
    {
        TrayCore& core = *f.runtime->tray.core();
        std::lock_guard lock(core.trayMutex);
        core.state.balloonTitle = std::u16string(80, u'T');
        core.state.balloonText = u"x";
    }
    f.post(kWmTrayBalloon);
    ASSERT_TRUE(f.settled());
    const auto shown = balloons(f);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, std::u16string(63, u'T'));
}

TEST(BackgroundNoticeState, NoticeBeforeTheTrayWindowExistsKeepsTheTextsAndDropsTheBalloon) {
    TrayFixture f;
    f.shell->failWindowCreation();
    f.host.callAndWait("updateMenuBarMenu", test::args({R"({"connected":true,"serverLabel":"A"})"}));
    EXPECT_EQ(f.host.callAndWait("notifyVpnConnectedOnHide").value, JSValue(true));
    EXPECT_EQ(stateOf(f).balloonTitle, u"Varnel VPN is still connected");
    EXPECT_TRUE(balloons(f).empty());
}

}  // namespace
}  // namespace varnel::tray
