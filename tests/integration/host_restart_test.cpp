#include <gtest/gtest.h>

#include <fstream>

#include "app/json_reader.h"
#include "support/child_process.h"
#include "support/environment.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

// The real host process, killed while a tunnel is up: OpenVPN keeps running on its own, and the next
// host finds the session again on its first status call.

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;

// One host process spoken to a request at a time.
class Host {
public:
    Host() : process_(ChildProcess::start(VARNEL_HOST_EXE, {"host"})) {}
    JSValue call(const std::string& method, const std::string& args = "[]") {
        const std::string id = std::to_string(++lastId_);
        process_.writeLine(R"({"id":)" + id + R"(,"method":")" + method + R"(","args":)" + args + "}");
        std::string line;
        // Events could come between; answers carry our id.
        while (process_.readLine(line)) {
            JsonParseResult answer = parseJson(line);
            if (!answer.value || answer.value->asObject() == nullptr) continue;
            const JSValue* answered = answer.value->asObject()->find("id");
            if (answered == nullptr || *answered != JSValue(std::int64_t{lastId_})) continue;
            const JSValue* result = answer.value->asObject()->find("result");
            return result ? *result : *answer.value;
        }
        ADD_FAILURE() << "the host ended";
        return JSValue();
    }
    JSValueObject status() {
        const JSValue s = call("getStatus");
        return s.asObject() ? *s.asObject() : JSValueObject();
    }
    ChildProcess& process() { return process_; }

private:
    ChildProcess process_;
    int lastId_ = 0;
};

std::string procStatField(std::uint32_t pid, int field) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string value;
    for (int i = 1; i <= field && stat >> value; ++i) {
    }
    return value;
}

TEST(HostRestart, ANewHostRecoversTheSessionAndCanDisconnectIt) {
    if (const std::string reason = test::OpenVpnServer::unavailableReason(); !reason.empty()) GTEST_SKIP() << reason;
    test::OpenVpnServer server;
    test::TempDir dataHome;
    test::setEnvironmentVariable("XDG_DATA_HOME", dataHome.path().string());
    test::setEnvironmentVariable("VARNEL_KILLSWITCH_SOCKET", test::absentKillSwitchChannel());

    std::uint32_t pid = 0;
    {
        Host first;
        std::string profile = server.clientProfile();
        std::string escaped;
        for (char c : profile) escaped += c == '\n' ? std::string("\\n") : c == '"' ? std::string("\\\"") : std::string(1, c);
        first.call("saveOvpnProfile", "[\"restart\",\"" + escaped + "\",\"client.ovpn\",\"\"]");
        ASSERT_EQ(first.call("connectOvpn", std::string(R"(["restart","client.ovpn",")") + test::kVpnUser + R"(",")" + test::kVpnPassword + R"("])"),
                  JSValue(JSValueObject{{"state", JSValue("connecting")}}));
        ASSERT_TRUE(test::waitUntil([&] { return *first.status().find("state") == JSValue("connected"); }));
        pid = static_cast<std::uint32_t>(*first.status().find("pid")->asInt64());
        // OpenVPN leads a session and process group of its own, so ending the host's whole group
        // leaves it alone.
        EXPECT_EQ(procStatField(pid, 5), std::to_string(pid));
        EXPECT_EQ(procStatField(pid, 6), std::to_string(pid));
        first.process().kill();
        first.process().wait();
    }
    ASSERT_TRUE(fs::exists("/proc/" + std::to_string(pid))) << "OpenVPN ended with the host";

    Host second;
    const JSValueObject recovered = second.status();
    EXPECT_EQ(*recovered.find("state"), JSValue("connected"));
    EXPECT_EQ(*recovered.find("profileId"), JSValue("restart"));
    ASSERT_NE(recovered.find("pid"), nullptr);
    EXPECT_EQ(*recovered.find("pid"), JSValue(static_cast<std::int64_t>(pid)));

    EXPECT_EQ(second.call("disconnect"), JSValue(JSValueObject{{"state", JSValue("disconnected")}}));
    EXPECT_TRUE(test::waitUntil([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));
    second.process().closeInput();
    EXPECT_EQ(second.process().wait(), 0);
}

}  // namespace
}  // namespace varnel
