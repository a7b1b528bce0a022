#include "tunnel/tap_setup.h"

#include <gtest/gtest.h>

#include "support/fake_network.h"
#include "support/isolated_runtime.h"

namespace varnel {
namespace {

// Records launches instead of starting anything.
class RecordingLauncher final : public platform::ProcessLauncher {
public:
    platform::LaunchResult launchElevated(const platform::PathText& program, const std::string& parameters) override {
        launches.emplace_back(program, parameters);
        return platform::LaunchResult{platform::ProcessHandle(), platform::kErrorCancelled};
    }
    std::vector<std::pair<platform::PathText, std::string>> launches;
};

TEST(TapSetup, APresentAdapterNeedsNothingAndAMissingOneWithoutInstallerFails) {
    auto runtime = test::makeIsolatedRuntime();
    auto adapters = std::make_shared<test::FakeNetworkAdapters>();
    auto launcher = std::make_shared<RecordingLauncher>();
    runtime->adapters = adapters;
    runtime->launcher = launcher;
    const platform::PathText openvpn = (runtime->temp.path() / "openvpn.exe").native();

    EXPECT_TRUE(ensureTapAdapter(*runtime, openvpn));
    adapters->present = false;
    EXPECT_FALSE(ensureTapAdapter(*runtime, openvpn));  // no installer beside it
    EXPECT_TRUE(launcher->launches.empty());
}

}  // namespace
}  // namespace varnel
