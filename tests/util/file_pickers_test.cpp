#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>

#include "platform/files.h"
#include "support/child_process.h"
#include "support/display.h"
#include "support/environment.h"
#include "support/fake_file_dialog.h"
#include "support/temp_dir.h"
#include "support/test_host.h"

// The pickers through the module with a dialog that answers for the user; no test opens the real one.

namespace varnel {
namespace {

using namespace std::string_literals;
using test::FakeFileDialog;

struct Pickers : ::testing::Test {
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime();

    std::shared_ptr<FakeFileDialog> answerWith(std::optional<platform::PathText> path) {
        auto dialog = std::make_shared<FakeFileDialog>(std::move(path));
        runtime = test::makeTestRuntime([&](RuntimeServices& s) { s.fileDialog = dialog; });
        return dialog;
    }

    JSValue pick(const std::string& method) {
        test::TestHost host(runtime);
        const test::Settlement answer = host.callAndWait(method);
        EXPECT_TRUE(answer.resolved);
        return answer.value;
    }

    // The chosen file's path as the dialog hands it over, and as the result spells it.
    platform::PathText pathOf(const std::string& fileName) { return files.path().native() + platform::kPathSeparator + platform::utf8ToPathText(fileName); }
    std::string folderUtf8() { return platform::pathTextToUtf8(files.path().native()); }

    test::TempDir files;
};

TEST_F(Pickers, ACancelledDialogResolvesWithAnEmptyObject) {
    for (const char* method : {"pickApp", "pickOvpnFile"}) {
        SCOPED_TRACE(method);
        answerWith(std::nullopt);
        EXPECT_EQ(pick(method), JSValue(JSValueObject{}));
    }
}

TEST_F(Pickers, PickAppAnswersTheChosenProgram) {
    const platform::PathText path = pathOf("tool.beta.exe");
    answerWith(path);
    const JSValueObject expected{{"bundleId", JSValue("tool.beta.exe")}, {"name", JSValue("tool.beta")},
                                 {"path", JSValue(platform::pathTextToUtf8(path))}, {"color", JSValue("#1d8fef")}};
    EXPECT_EQ(pick("pickApp"), JSValue(expected));
}

TEST_F(Pickers, PickOvpnFileHandsOverTheFilesBytesWithoutTheUtf8Mark) {
    const platform::PathText path = pathOf("office.ovpn");
    ASSERT_TRUE(platform::writeWholeFile(path, "\xEF\xBB\xBF" "client\r\nremote a 1194\r\n\0tail"s));
    answerWith(path);
    const JSValueObject expected{{"fileName", JSValue("office.ovpn")},
                                 {"content", JSValue("client\r\nremote a 1194\r\n\0tail"s)},
                                 {"sourceDirectory", JSValue(folderUtf8())}};
    EXPECT_EQ(pick("pickOvpnFile"), JSValue(expected));
}

TEST_F(Pickers, PickOvpnFileOfAnUnreadableFileStillNamesIt) {
    answerWith(pathOf("gone.ovpn"));
    const JSValueObject expected{{"fileName", JSValue("gone.ovpn")}, {"content", JSValue("")}, {"sourceDirectory", JSValue(folderUtf8())}};
    EXPECT_EQ(pick("pickOvpnFile"), JSValue(expected));
}

TEST_F(Pickers, EachDialogRunsOnAWorkerWithItsOwnSettings) {
    const auto dialog = answerWith(std::nullopt);
    pick("pickApp");
    pick("pickOvpnFile");
    const auto requests = dialog->requests();
    ASSERT_EQ(requests.size(), 2u);

    EXPECT_EQ(requests[0].title, "Choose an app to close when the VPN drops");
    ASSERT_EQ(requests[0].filters.size(), 2u);
    EXPECT_EQ(requests[0].filters[0].label, "Applications (*.exe)");
    EXPECT_EQ(requests[0].filters[0].pattern, "*.exe");
    EXPECT_EQ(requests[0].filters[1].label, "All files");
    EXPECT_EQ(requests[0].filters[1].pattern, "*.*");
    EXPECT_EQ(requests[0].initialDirectory, platform::applicationsFolder());

    EXPECT_EQ(requests[1].title, "Import OpenVPN Profile (.ovpn)");
    ASSERT_EQ(requests[1].filters.size(), 2u);
    EXPECT_EQ(requests[1].filters[0].label, "OpenVPN config (*.ovpn)");
    EXPECT_EQ(requests[1].filters[0].pattern, "*.ovpn");
    EXPECT_EQ(requests[1].filters[1].label, "All files");
    EXPECT_EQ(requests[1].filters[1].pattern, "*.*");
    EXPECT_TRUE(requests[1].initialDirectory.empty());

    // The interface thread must never wait on a dialog.
    for (const std::thread::id thread : dialog->threads()) EXPECT_NE(thread, std::this_thread::get_id());
}

// The real host with no display to show a dialog on: the dialog fails, and both pickers resolve {}.
TEST(PickersWithoutDisplay, ResolveWithAnEmptyObjectThroughTheHost) {
    if (const std::string reason = test::dialogCannotBeDeniedADisplay(); !reason.empty()) GTEST_SKIP() << reason;
    test::setEnvironmentVariable("DISPLAY", "");
    test::setEnvironmentVariable("WAYLAND_DISPLAY", "");
    test::ChildProcess host = test::ChildProcess::start(VARNEL_HOST_EXE, {"host"});
    ASSERT_TRUE(host.writeLine(R"({"id":1,"method":"pickApp"})"));
    ASSERT_TRUE(host.writeLine(R"({"id":2,"method":"pickOvpnFile"})"));
    // Workers answer in any order.
    std::set<std::string> answers;
    for (int i = 0; i < 2; ++i) {
        std::string line;
        ASSERT_TRUE(host.readLine(line));
        answers.insert(line);
    }
    EXPECT_EQ(answers, (std::set<std::string>{R"({"id":1,"result":{}})", R"({"id":2,"result":{}})"}));
    host.closeInput();
    EXPECT_EQ(host.wait(), 0);
}

}  // namespace
}  // namespace varnel
