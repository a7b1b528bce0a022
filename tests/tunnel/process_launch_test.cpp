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
