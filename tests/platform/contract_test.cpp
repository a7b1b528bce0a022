// Each platform interface's contract, held by the fake the unit tests use and by the build's own.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "platform/credential_store.h"
#include "platform/network_adapters.h"
#include "platform/process.h"
#include "support/environment.h"
#include "support/fake_credential_store.h"
#include "support/fake_network.h"
#include "support/fake_process_launcher.h"
#include "support/temp_dir.h"
#include "support/test_programs.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A suite's subjects: how to make the fake the unit tests use, then the build's own.
template <class Interface>
using Make = std::shared_ptr<Interface> (*)();
template <class Fake, class Interface>
auto fakeThenSystem(Make<Interface> system) {
    return testing::Values(+[] { return std::shared_ptr<Interface>(std::make_shared<Fake>()); }, system);
}
const auto kSubjectName = [](const auto& subject) { return std::string(subject.index == 0 ? "Fake" : "System"); };

class ProcessLauncherContract : public testing::TestWithParam<Make<platform::ProcessLauncher>> {
protected:
    // A test that fails half-way still lets its program go, so that nothing it started stays behind.
    void TearDown() override { std::ofstream(marker) << "go"; }

    bool system() const { return GetParam() == &platform::systemProcessLauncher; }

    std::shared_ptr<platform::ProcessLauncher> launcher = GetParam()();
    test::TempDir temp;
    fs::path marker = temp.path() / "marker with spaces";
};

TEST_P(ProcessLauncherContract, AProgramThatCannotStartGivesAnErrorAndNoProcess) {
    // The Windows shell reports a missing program in a message box that waits for the user.
    if (system() && platform::kPathSeparator != '/') GTEST_SKIP() << "the shell would wait on a message box";
    const platform::LaunchResult failed = launcher->launchElevated((temp.path() / "no such program").native(), "");
    EXPECT_FALSE(failed.process.valid());
    EXPECT_NE(failed.error, 0u);
}

// On Linux the program leads a session of its own, with /dev/null as its streams and no socket or pipe of ours.
void expectDetachedOnLinux(std::uint32_t pid) {
    if (platform::kPathSeparator != '/') return;
    const fs::path proc = "/proc/" + std::to_string(pid);
    EXPECT_TRUE(test::waitUntil([&] {  // the session id, the sixth field, is its own id, the first
        std::string fields[6];
        for (std::ifstream stat(proc / "stat"); std::string& field : fields) stat >> field;
        return !fields[0].empty() && fields[5] == fields[0];
    }));
    for (int fd = 0; fd <= 2; ++fd) EXPECT_EQ(fs::read_symlink(proc / "fd" / std::to_string(fd)), "/dev/null");
    std::error_code listing;
    for (const auto& entry : fs::directory_iterator(proc / "fd", listing)) {
        const std::string target = fs::read_symlink(entry.path(), listing).string();
        EXPECT_TRUE(target.find("socket:") == std::string::npos && target.find("pipe:") == std::string::npos) << target;
    }
}

// The program ends with the code it is given once the marker (a quoted path with spaces) appears.
TEST_P(ProcessLauncherContract, AStartedProgramIsFollowedByHandleAndByIdUntilItsOwnCode) {
    if (!system()) GTEST_SKIP() << "the fake starts nothing";
    const platform::LaunchResult started =
        launcher->launchElevated(fs::u8path(test::testProgramPath("wait_for_file")).native(), "\"" + marker.string() + "\" 7");
    ASSERT_EQ(started.error, 0u);
    ASSERT_TRUE(started.process.valid());
    expectDetachedOnLinux(platform::processId(started.process));
    const auto code = [](const platform::ProcessHandle& process) {
        std::uint32_t value = 0;
        EXPECT_TRUE(platform::queryExitCode(process, value));
        return value;
    };
    EXPECT_EQ(code(started.process), platform::kStillActive);
    EXPECT_FALSE(platform::waitForExit(started.process, 50));
    const platform::ProcessHandle reopened = platform::openProcess(platform::processId(started.process));
    ASSERT_TRUE(reopened.valid());
    EXPECT_EQ(code(reopened), platform::kStillActive);

    std::ofstream(marker) << "go";
    EXPECT_TRUE(platform::waitForExit(started.process, 30000));
    EXPECT_EQ(code(started.process), 7u);
    EXPECT_TRUE(platform::waitForExit(reopened, 30000));
    EXPECT_NE(code(reopened), platform::kStillActive);
}

INSTANTIATE_TEST_SUITE_P(Launchers, ProcessLauncherContract,
                         fakeThenSystem<test::FakeProcessLauncher>(&platform::systemProcessLauncher), kSubjectName);

class NetworkAdaptersContract : public testing::TestWithParam<Make<platform::NetworkAdapters>> {};

// What the traffic rates read: the active TAP adapter's counters, which only grow; id 0 is no adapter.
TEST_P(NetworkAdaptersContract, OnlyAPresentActiveAdapterHasCountersAndTheyNeverFall) {
    const std::shared_ptr<platform::NetworkAdapters> adapters = GetParam()();
    std::uint64_t in = 0, out = 0, laterIn = 0, laterOut = 0;
    EXPECT_FALSE(adapters->readCounters(0, in, out));
    const std::optional<std::uint64_t> active = adapters->activeTapAdapter();
    EXPECT_TRUE(adapters->tapAdapterPresent() || !active);  // none is up where none is present
    if (!active) GTEST_SKIP() << "no TAP adapter is up here";
    ASSERT_TRUE(adapters->readCounters(*active, in, out));
    ASSERT_TRUE(adapters->readCounters(*active, laterIn, laterOut));
    EXPECT_GE(laterIn, in);
    EXPECT_GE(laterOut, out);
}

INSTANTIATE_TEST_SUITE_P(Adapters, NetworkAdaptersContract,
                         fakeThenSystem<test::FakeNetworkAdapters>(&platform::systemNetworkAdapters), kSubjectName);

class CredentialStoreContract : public testing::TestWithParam<Make<platform::CredentialStore>> {
protected:
    void SetUp() override {
        // The Linux store needs a session bus with an unlocked keyring, which scripts/test provides.
        const std::string bus = GetParam() == &platform::systemCredentialStore ? test::sessionBusNeededButMissing() : "";
        if (!bus.empty()) GTEST_SKIP() << "no secret store: " << bus;
    }
    void TearDown() override {
        for (const std::string& target : written) store->remove(target);
    }
    // Unique to this run, so that runs side by side never touch each other's items.
    std::string target(const std::string& name) {
        static const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
        return written.emplace_back("varnel-test-" + std::to_string(run) + "/" + name);
    }

    std::shared_ptr<platform::CredentialStore> store = GetParam()();
    std::vector<std::string> written;
};

TEST_P(CredentialStoreContract, KeepsAnyBytesReplacesOnWriteAndRemovesQuietly) {
    const std::string target = this->target("item");
    EXPECT_EQ(store->read(target), std::nullopt);
    store->remove(target);
    for (const std::string& value : {"p\xC3\xA4ss \xE2\x82\xAC \xF0\x9F\x94\x92"s, "a\0b\xFF\xFE\x80\xC3("s, "second"s}) {
        ASSERT_EQ(store->write(target, value), 0u);
        EXPECT_EQ(store->read(target), value);
    }
    EXPECT_EQ(store->read(this->target("it")), std::nullopt);  // a target is matched whole
    store->remove(target);
    EXPECT_EQ(store->read(target), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Stores, CredentialStoreContract,
                         fakeThenSystem<test::FakeCredentialStore>(&platform::systemCredentialStore), kSubjectName);

}  // namespace
}  // namespace varnel
