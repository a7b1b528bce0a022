#include "platform/process.h"

#include <gtest/gtest.h>

#include "support/wait_until.h"

#include <fstream>
#include <sstream>

#include "support/temp_dir.h"
#include "support/test_programs.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

// The program ends with the code it is given once the marker file appears.
class ElevatedLaunch : public ::testing::Test {
protected:
    platform::LaunchResult launch(int code) {
        const std::string parameters = "\"" + marker.string() + "\" " + std::to_string(code);
        return platform::systemProcessLauncher()->launchElevated(fs::u8path(test::testProgramPath("wait_for_file")).native(), parameters);
    }
    void release() { std::ofstream(marker) << "go"; }
    // A test that fails half-way still lets its program go, so that nothing it started stays behind.
    void TearDown() override { release(); }

    test::TempDir temp;
    fs::path marker = temp.path() / "marker with spaces";
};

TEST_F(ElevatedLaunch, HandleReportsStillActiveThenTheProgramsOwnCode) {
    platform::LaunchResult started = launch(7);
    ASSERT_EQ(started.error, 0u);
    ASSERT_TRUE(started.process.valid());
    std::uint32_t code = 0;
    ASSERT_TRUE(platform::queryExitCode(started.process, code));
    EXPECT_EQ(code, platform::kStillActive);
    EXPECT_FALSE(platform::waitForExit(started.process, 50));

    const std::uint32_t pid = platform::processId(started.process);
    EXPECT_GT(pid, 0u);
    platform::ProcessHandle reopened = platform::openProcess(pid);
    ASSERT_TRUE(reopened.valid());
    ASSERT_TRUE(platform::queryExitCode(reopened, code));
    EXPECT_EQ(code, platform::kStillActive);

    release();
    EXPECT_TRUE(platform::waitForExit(started.process, 30000));
    ASSERT_TRUE(platform::queryExitCode(started.process, code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(platform::waitForExit(reopened, 30000));
    ASSERT_TRUE(platform::queryExitCode(reopened, code));
    EXPECT_NE(code, platform::kStillActive);
}

TEST_F(ElevatedLaunch, ALaunchThatCannotStartReportsTheSystemsError) {
    // With a display, the Windows shell reports a missing program in a message box that waits for
    // the user; the system only ever launches a program it has just found.
    if (platform::kPathSeparator != '/') GTEST_SKIP() << "the shell would wait on a message box";
    platform::LaunchResult failed =
        platform::systemProcessLauncher()->launchElevated((temp.path() / "no such program").native(), "");
    EXPECT_FALSE(failed.process.valid());
    EXPECT_NE(failed.error, 0u);
}

// On Linux the program runs in a session of its own, with /dev/null as its standard streams and no
// other descriptor of ours.
TEST_F(ElevatedLaunch, OnLinuxTheProgramHasItsOwnSessionAndOnlyNullStreams) {
    if (platform::kPathSeparator != '/') GTEST_SKIP() << "a Linux matter";
    platform::LaunchResult started = launch(0);
    ASSERT_TRUE(started.process.valid());
    const fs::path proc = "/proc/" + std::to_string(platform::processId(started.process));
    // The launch returns once the child exists; it leads its own session once it has set itself up.
    EXPECT_TRUE(test::waitUntil([&] {
        std::ifstream stat(proc / "stat");
        std::string pid, name, state, parent, group, session;
        stat >> pid >> name >> state >> parent >> group >> session;
        return !pid.empty() && session == pid;
    }));
    for (int fd = 0; fd <= 2; ++fd) EXPECT_EQ(fs::read_symlink(proc / "fd" / std::to_string(fd)), "/dev/null");
    // Beyond those, nothing of ours: no socket or pipe (a sanitizer runtime may open its own files).
    std::error_code listing;
    for (const auto& entry : fs::directory_iterator(proc / "fd", listing)) {
        const std::string target = fs::read_symlink(entry.path(), listing).string();
        EXPECT_EQ(target.find("socket:"), std::string::npos) << target;
        EXPECT_EQ(target.find("pipe:"), std::string::npos) << target;
    }
    release();
    EXPECT_TRUE(platform::waitForExit(started.process, 30000));
}

}  // namespace
}  // namespace varnel
