#include "util/app_termination.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/process_list.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_host.h"
#include "support/test_programs.h"
#include "support/wait_until.h"

namespace varnel::util {
namespace {

using test::ChildProcess;

TEST(FoldAsciiCase, ChangesOnlyAToZ) {
    EXPECT_EQ(foldAsciiCase("Example.EXE"), "example.exe");
    EXPECT_EQ(foldAsciiCase("@[`{AZaz09"), "@[`{azaz09");
    // Non-ASCII letters keep their case, byte for byte.
    EXPECT_EQ(foldAsciiCase("\xC3\x84PFEL.EXE"), "\xC3\x84pfel.exe");
    EXPECT_EQ(foldAsciiCase(""), "");
}

// Names unique to this run, so that tests running side by side never end each other's programs.
std::string uniqueStem(const std::string& stem) { return stem + std::to_string(platform::currentProcessId()); }

std::size_t countRunning(const std::string& exeName) {
    std::size_t count = 0;
    for (const platform::ProcessEntry& p : platform::listProcesses()) count += p.exeName == exeName;
    return count;
}

JSValue terminate(test::TestHost& host, std::vector<std::string> names) {
    JSValueArray list;
    for (std::string& n : names) list.emplace_back(std::move(n));
    const test::Settlement answer = host.callAndWait("terminateApps", JSValue(JSValueArray{JSValue(std::move(list))}));
    EXPECT_TRUE(answer.resolved);
    return answer.value;
}

JSValue terminatedList(std::vector<std::string> names) {
    JSValueArray list;
    for (std::string& n : names) list.emplace_back(std::move(n));
    return JSValue(JSValueObject{{"terminated", JSValue(std::move(list))}});
}

// Two copies of one program under a mixed-case name that ends in ".exe" on both builds, so that
// "a name without its extension" means the same thing on Linux.
class TwoSleepers : public ::testing::Test {
protected:
    void SetUp() override {
        exeName = uniqueStem("VarnelSleeper") + ".exe";
        path = dir.path() / exeName;
        std::filesystem::copy_file(test::testProgramPath("sleeper"), path);
        for (int i = 0; i < 2; ++i) sleepers.push_back(ChildProcess::start(path.string()));
        ASSERT_TRUE(test::waitUntil([&] { return countRunning(exeName) == 2; })) << "the copies never showed in the process list";
    }

    test::TempDir dir;
    std::string exeName;
    std::filesystem::path path;
    std::vector<ChildProcess> sleepers;
    test::TestHost host;
};

TEST_F(TwoSleepers, OneNameInAnotherCaseEndsBothAndListsEachAsTheSystemSpellsIt) {
    const std::string shouted = uniqueStem("VARNELsleeper") + ".EXE";
    EXPECT_EQ(terminate(host, {"unrelated.exe", shouted}), terminatedList({exeName, exeName}));
    for (ChildProcess& sleeper : sleepers) sleeper.wait();  // throws if it is still running
    EXPECT_EQ(countRunning(exeName), 0u);
}

TEST_F(TwoSleepers, PathsStemsWildcardsAndEmptyListsEndNothing) {
    const std::string stem = uniqueStem("VarnelSleeper");
    const std::vector<std::vector<std::string>> lists = {
        {path.string()},
        {"C:\\Tools\\" + exeName},
        {stem},
        {stem + ".ex"},
        {"*.exe", stem + "*"},
        {" " + exeName},
        {},
    };
    for (const auto& names : lists) {
        SCOPED_TRACE(names.empty() ? std::string("(empty list)") : names.front());
        EXPECT_EQ(terminate(host, names), terminatedList({}));
    }
    EXPECT_EQ(countRunning(exeName), 2u);
}

// The host names its own executable: a second host of that name ends, the caller goes on and answers.
TEST(TerminateApps, SparesTheCallingProcess) {
    test::TempDir dir;
    const std::string exeName = uniqueStem("VarnelSelf") + ".exe";
    const std::filesystem::path copy = dir.path() / exeName;
    std::filesystem::copy_file(VARNEL_HOST_EXE, copy);
    ChildProcess other = ChildProcess::start(copy.string(), {"host"});
    ASSERT_TRUE(test::waitUntil([&] { return countRunning(exeName) == 1; }));

    ChildProcess caller = ChildProcess::start(copy.string(), {"call", "terminateApps", "[[\"" + foldAsciiCase(exeName) + "\"]]"});
    std::string line;
    ASSERT_TRUE(caller.readLine(line));
    EXPECT_EQ(line, R"({"id":1,"result":{"terminated":[")" + exeName + R"("]}})");
    EXPECT_EQ(caller.wait(), 0);
    other.wait();  // throws if it is still running
}

}  // namespace
}  // namespace varnel::util
