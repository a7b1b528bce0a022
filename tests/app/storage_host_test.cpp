#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "app/json_reader.h"
#include "support/child_process.h"
#include "support/environment.h"
#include "support/secret_store_probe.h"
#include "support/temp_dir.h"

// The storage methods through the real host process, with the data folder where the system puts it:
// under XDG_DATA_HOME on Linux (pointed at a temporary folder here), in the user's local
// application-data folder on Windows (inside the test's own Wine prefix).

namespace varnel {
namespace {

using test::ChildProcess;

class StorageThroughHost : public ::testing::Test {
protected:
    void SetUp() override {
        test::setEnvironmentVariable("XDG_DATA_HOME", dataHome.path().string());
        host = std::make_unique<ChildProcess>(ChildProcess::start(VARNEL_HOST_EXE, {"host"}));
    }

    // Sends one request and returns what its answer carries under "result" (or the whole answer).
    JSValue call(const std::string& method, const std::string& args) {
        const std::string id = std::to_string(++lastId);
        EXPECT_TRUE(host->writeLine(R"({"id":)" + id + R"(,"method":")" + method + R"(","args":)" + args + "}"));
        std::string line;
        EXPECT_TRUE(host->readLine(line)) << method;
        JsonParseResult answer = parseJson(line);
        EXPECT_TRUE(answer.value.has_value()) << line;
        const JSValue* result = answer.value ? answer.value->asObject()->find("result") : nullptr;
        EXPECT_NE(result, nullptr) << line;
        return result ? *result : JSValue(line);
    }

    test::TempDir dataHome;
    std::unique_ptr<ChildProcess> host;
    int lastId = 0;
    // Unique per run, since the Windows data folder outlives the test within its prefix.
    const std::string id = "host-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
};

TEST_F(StorageThroughHost, ProfileLifecycleCredentialsAndDefaults) {
    const JSValue saved = call("saveOvpnProfile", R"([")" + id + R"(","client\n","c.ovpn",""])");
    const std::string configPath = *saved.asObject()->find("configPath")->asString();
    std::string tail = "/VarnelMac/profiles/" + id + "/c.ovpn";
    if (configPath.find('\\') != std::string::npos) std::replace(tail.begin(), tail.end(), '/', '\\');
    EXPECT_TRUE(configPath.ends_with(tail)) << configPath;
    EXPECT_EQ(*saved.asObject()->find("fileName")->asString(), "c.ovpn");

    EXPECT_TRUE(call("saveOvpnProfileMeta", R"([")" + id + R"(","{\"name\":\"Test\"}"])").isNull());
    const JSValue listed = call("listSavedOvpnProfiles", "[]");
    const JSValue entry(JSValueObject{{"_raw", JSValue(R"({"name":"Test"})")}});
    EXPECT_NE(std::find(listed.asArray()->begin(), listed.asArray()->end(), entry), listed.asArray()->end());

    EXPECT_TRUE(call("saveOvpnAuth", R"([")" + id + R"(","alice","p\u00e4ss"])").isNull());
    EXPECT_EQ(call("readOvpnAuth", R"([")" + id + R"("])"),
              JSValue(JSValueObject{{"username", JSValue("alice")}, {"password", JSValue("p\xC3\xA4ss")}}));

    EXPECT_TRUE(call("deleteOvpnProfile", R"([")" + id + R"("])").isNull());
    const JSValue after = call("listSavedOvpnProfiles", "[]");
    EXPECT_EQ(std::find(after.asArray()->begin(), after.asArray()->end(), entry), after.asArray()->end());

    EXPECT_TRUE(call("writeUserDefaults", R"([")" + id + R"(","dark"])").isNull());
    EXPECT_EQ(call("readUserDefaults", R"([")" + id + R"("])"), JSValue("dark"));

    host->closeInput();
    EXPECT_EQ(host->wait(), 0);
}

TEST_F(StorageThroughHost, KeychainItems) {
    if (!test::secretStoreReachable()) GTEST_SKIP() << "no secret store reachable (run the tests through scripts/test)";
    EXPECT_TRUE(call("writeKeychainItem", R"([")" + id + R"(","acct","s3cr\u00e9t"])").isNull());
    EXPECT_EQ(call("readKeychainItem", R"([")" + id + R"(","acct"])"), JSValue("s3cr\xC3\xA9t"));
    EXPECT_TRUE(call("deleteKeychainItem", R"([")" + id + R"(","acct"])").isNull());
    EXPECT_EQ(call("readKeychainItem", R"([")" + id + R"(","acct"])"), JSValue(""));
}

}  // namespace
}  // namespace varnel
