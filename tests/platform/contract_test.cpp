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

namespace varnel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// How to make each implementation, and why this system cannot run a case ("" when it can).
template <class Interface, class Fake>
struct FakeOf {
    static constexpr const char* kName = "Fake";
    static std::shared_ptr<Interface> make() { return std::make_shared<Fake>(); }
    static std::string cannotStart() { return "the fake starts nothing"; }
    static std::string cannotFail() { return {}; }
    static std::string unavailable() { return {}; }
};
struct SystemLauncher {
    static constexpr const char* kName = "System";
    static std::shared_ptr<platform::ProcessLauncher> make() { return platform::systemProcessLauncher(); }
    static std::string cannotStart() { return {}; }
    // The Windows shell reports a missing program in a message box that waits for the user.
    static std::string cannotFail() { return platform::kPathSeparator == '/' ? "" : "the shell would wait on a message box"; }
};
struct SystemAdapters {
    static constexpr const char* kName = "System";
    static std::shared_ptr<platform::NetworkAdapters> make() { return platform::systemNetworkAdapters(); }
};
struct SystemStore {
    static constexpr const char* kName = "System";
    static std::shared_ptr<platform::CredentialStore> make() { return platform::systemCredentialStore(); }
    // The Linux store needs a session bus with an unlocked keyring, which scripts/test provides.
    static std::string unavailable() {
        static const std::string reason = [] {
            if (std::string bus = test::sessionBusNeededButMissing(); !bus.empty()) return bus;
            const unsigned long code = make()->write("varnel-test-probe/probe", "probe");
            make()->remove("varnel-test-probe/probe");
            return code == 0 ? std::string() : "the store refused a write (code " + std::to_string(code) + ")";
        }();
        return reason;
    }
};
struct SubjectNames {
    template <class Subject>
    static std::string GetName(int) { return Subject::kName; }
};

template <class Subject>
class ProcessLauncherContract : public ::testing::Test {
protected:
    // A test that fails half-way still lets its program go, so that nothing it started stays behind.
    void TearDown() override { std::ofstream(marker) << "go"; }

    std::shared_ptr<platform::ProcessLauncher> launcher = Subject::make();
    test::TempDir temp;
    fs::path marker = temp.path() / "marker with spaces";
};
using Launchers = ::testing::Types<FakeOf<platform::ProcessLauncher, test::FakeProcessLauncher>, SystemLauncher>;
TYPED_TEST_SUITE(ProcessLauncherContract, Launchers, SubjectNames);

TYPED_TEST(ProcessLauncherContract, AProgramThatCannotStartGivesAnErrorAndNoProcess) {
    if (const std::string reason = TypeParam::cannotFail(); !reason.empty()) GTEST_SKIP() << reason;
    const platform::LaunchResult failed = this->launcher->launchElevated((this->temp.path() / "no such program").native(), "");
    EXPECT_FALSE(failed.process.valid());
    EXPECT_NE(failed.error, 0u);
}

// The program ends with the code it is given once the marker (a quoted path with spaces) appears.
TYPED_TEST(ProcessLauncherContract, AStartedProgramIsFollowedByHandleAndByIdUntilItsOwnCode) {
    if (const std::string reason = TypeParam::cannotStart(); !reason.empty()) GTEST_SKIP() << reason;
    const platform::LaunchResult started = this->launcher->launchElevated(
        fs::u8path(test::testProgramPath("wait_for_file")).native(), "\"" + this->marker.string() + "\" 7");
    ASSERT_EQ(started.error, 0u);
    ASSERT_TRUE(started.process.valid());
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

    std::ofstream(this->marker) << "go";
    EXPECT_TRUE(platform::waitForExit(started.process, 30000));
    EXPECT_EQ(code(started.process), 7u);
    EXPECT_TRUE(platform::waitForExit(reopened, 30000));
    EXPECT_NE(code(reopened), platform::kStillActive);
}

template <class Subject>
class NetworkAdaptersContract : public ::testing::Test {
protected:
    std::shared_ptr<platform::NetworkAdapters> adapters = Subject::make();
};
using Adapters = ::testing::Types<FakeOf<platform::NetworkAdapters, test::FakeNetworkAdapters>, SystemAdapters>;
TYPED_TEST_SUITE(NetworkAdaptersContract, Adapters, SubjectNames);

// What the traffic rates read: the active TAP adapter's counters, which only grow; id 0 is no adapter.
TYPED_TEST(NetworkAdaptersContract, OnlyAPresentActiveAdapterHasCountersAndTheyNeverFall) {
    std::uint64_t in = 0, out = 0, laterIn = 0, laterOut = 0;
    EXPECT_FALSE(this->adapters->readCounters(0, in, out));
    const std::optional<std::uint64_t> active = this->adapters->activeTapAdapter();
    EXPECT_TRUE(this->adapters->tapAdapterPresent() || !active);  // none is up where none is present
    if (!active) GTEST_SKIP() << "no TAP adapter is up here";
    ASSERT_TRUE(this->adapters->readCounters(*active, in, out));
    ASSERT_TRUE(this->adapters->readCounters(*active, laterIn, laterOut));
    EXPECT_GE(laterIn, in);
    EXPECT_GE(laterOut, out);
}

template <class Subject>
class CredentialStoreContract : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = Subject::unavailable(); !reason.empty()) GTEST_SKIP() << "no secret store: " << reason;
    }
    void TearDown() override {
        for (const std::string& target : written) store->remove(target);
    }
    // Unique to this run, so that runs side by side never touch each other's items.
    std::string target(const std::string& name) {
        static const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
        return written.emplace_back("varnel-test-" + std::to_string(run) + "/" + name);
    }

    std::shared_ptr<platform::CredentialStore> store = Subject::make();
    std::vector<std::string> written;
};
using Stores = ::testing::Types<FakeOf<platform::CredentialStore, test::FakeCredentialStore>, SystemStore>;
TYPED_TEST_SUITE(CredentialStoreContract, Stores, SubjectNames);

TYPED_TEST(CredentialStoreContract, KeepsAnyBytesReplacesOnWriteAndRemovesQuietly) {
    const std::string target = this->target("item");
    EXPECT_EQ(this->store->read(target), std::nullopt);
    this->store->remove(target);
    for (const std::string& value : {"p\xC3\xA4ss \xE2\x82\xAC \xF0\x9F\x94\x92"s, "a\0b\xFF\xFE\x80\xC3("s, "second"s}) {
        ASSERT_EQ(this->store->write(target, value), 0u);
        EXPECT_EQ(this->store->read(target), value);
    }
    EXPECT_EQ(this->store->read(this->target("it")), std::nullopt);  // a target is matched whole
    this->store->remove(target);
    EXPECT_EQ(this->store->read(target), std::nullopt);
}

}  // namespace
}  // namespace varnel
