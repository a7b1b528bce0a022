#pragma once
// A runtime whose data folder lies in a temporary folder, and a test host on it.

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_helpers.h"
#include "support/test_host.h"
#include "support/test_runtime.h"

namespace varnel::test {

struct StorageFixture {
    std::shared_ptr<TestRuntime> runtime = makeTestRuntime();
    const TempDir& temp = runtime->temp;
    TestHost host{runtime};

    std::filesystem::path root() const { return std::filesystem::path(runtime->dataFolder.root()); }
    std::filesystem::path profiles() const { return root() / "profiles"; }
    Settlement call(const std::string& method, const bridge::JSValue& arguments) { return host.callAndWait(method, arguments); }
    std::string rejection(const std::string& method, const bridge::JSValue& arguments) { return rejectionMessage(call(method, arguments)); }
    // Each method that writes a file of the store, and that file.
    std::vector<std::tuple<const char*, bridge::JSValue, std::filesystem::path>> writes() const {
        return {{"saveOvpnProfile", args({"p", "client", "c.ovpn"}), profiles() / "p" / "c.ovpn"},
                {"saveOvpnProfileMeta", args({"p", "{}"}), profiles() / "p" / "meta.json"},
                {"saveOvpnAuth", args({"p", "alice", "pw"}), profiles() / "p" / "auth.txt"}, {"writeUserDefaults", args({"k", "v"}), root() / "prefs" / "k"}};
    }
};

}  // namespace varnel::test
