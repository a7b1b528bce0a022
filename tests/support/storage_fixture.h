#pragma once
// A runtime whose data folder lies in a temporary folder, and a test host on it.

#include <filesystem>
#include <memory>
#include <string>

#include "support/test_helpers.h"
#include "support/test_host.h"
#include "support/test_runtime.h"

namespace varnel::test {

struct StorageFixture {
    std::shared_ptr<TestRuntime> runtime = makeTestRuntime();
    const TempDir& temp = runtime->temp;
    TestHost host{runtime};

    // AppDataRoot and its profiles folder, as std::filesystem paths.
    std::filesystem::path root() const { return std::filesystem::path(runtime->dataFolder.root()); }
    std::filesystem::path profiles() const { return root() / "profiles"; }
};

}  // namespace varnel::test
