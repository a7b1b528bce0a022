#include "app/stdio_host.h"

#include <gtest/gtest.h>

#include <mutex>

#include "app/json_reader.h"
#include "support/child_process.h"
#include "support/method_names.h"
#include "support/test_runtime.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

using Line = std::pair<std::string, HostLineKind>;
using test::ChildProcess;

Line hostError(const std::string& id, const std::string& sentence) {
    return {R"({"id":)" + id + R"(,"hostError":")" + sentence + R"("})", HostLineKind::HostError};
}
std::string authPromptRejection(const std::string& id) {
    return R"({"id":)" + id +
           R"(,"error":{"code":"EUNSPECIFIED","message":"Interactive auth prompt not available on Windows","userInfo":null}})";
}

class StdioHostTest : public ::testing::Test {
protected:
    std::vector<Line> lines() {
        std::lock_guard lock(mutex);
        return written;
    }
    Line answer(std::string_view line) {
        host.handleLine(line);
        return lines().back();
    }

    std::mutex mutex;
    std::vector<Line> written;
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime();
    StdioHost host{runtime, [this](std::string line, HostLineKind kind) {
                       std::lock_guard lock(mutex);
                       written.emplace_back(std::move(line), kind);
                   }};
};

TEST_F(StdioHostTest, EachLineGetsOneAnswerLineThatEchoesItsId) {
    const std::string notJson = "The line is not JSON: Unexpected end of input.", notObject = "The request is not a JSON object.",
                      badId = "The request id must be a number or a string.", noMethod = "The request has no method name.";
    const std::pair<const char*, Line> cases[] = {
        {"", hostError("null", notJson)}, {"{\"id\":1,", hostError("null", notJson)}, {"[1,2]", hostError("null", notObject)},
        {"\"getStatus\"", hostError("null", notObject)}, {R"({"id":{"n":1},"method":"getStatus"})", hostError("null", badId)},
        {R"({"id":true,"method":"getStatus"})", hostError("null", badId)}, {R"({"id":7})", hostError("7", noMethod)},
        {R"({"id":7,"method":3})", hostError("7", noMethod)},
        {R"({"id":7,"module":1,"method":"x"})", hostError("7", "The module name must be a string.")},
        {R"({"id":"q","module":"Other","method":"x"})", hostError("\"q\"", "Unknown module: Other.")},
        {R"({"id":2.5,"method":"getConstants"})", hostError("2.5", "Unknown method: VarnelTunnel.getConstants.")},
        {R"({"method":"nope"})", hostError("null", "Unknown method: VarnelTunnel.nope.")},
        {"{\"id\":\"a\\u00e9\",\"method\":\"requestNotificationPermission\"}\r",
         {"{\"id\":\"a\xC3\xA9\",\"result\":true}", HostLineKind::Result}},
        {R"({"id":-9223372036854775808,"method":"promptVpnAuth","args":{"not":"a list"}})",
         {authPromptRejection("-9223372036854775808"), HostLineKind::Error}},
        {R"({"id":1,"module":"VarnelBuildConfig","method":"getConstants","args":[1]})",
         {R"({"id":1,"result":{"apiBaseUrl":"https://api.varnel.example/api/v1","includeVpnAuthDeviceMetadata":false}})",
          HostLineKind::Result}},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(answer(in), out) << in;
}

// Worker methods answer later and in any order; every answer must be in before the host goes away.
TEST_F(StdioHostTest, EveryMethodSettlesWithAResultOrAPlainRejection) {
    const std::size_t count = test::kVarnelTunnelMethods.size();
    for (std::size_t i = 0; i < count; ++i)
        host.handleLine(R"({"id":)" + std::to_string(i) + R"(,"method":")" + test::kVarnelTunnelMethods[i] + "\"}");
    std::vector<Line> answers;
    ASSERT_TRUE(test::waitUntil([&] {
        answers = lines();
        std::erase_if(answers, [](const Line& line) { return line.second == HostLineKind::Event; });  // activateApp's
        return answers.size() == count;
    }));
    for (const auto& [line, kind] : answers) {
        ASSERT_NE(kind, HostLineKind::HostError) << line;
        const bridge::JSValueObject answer = *parseJson(line).value->asObject();
        ASSERT_EQ(answer.size(), 2u) << line;
        if (answer.find("result") != nullptr) continue;
        const bridge::JSValueObject& error = *answer.find("error")->asObject();
        EXPECT_EQ(error.size(), 3u) << line;
        EXPECT_EQ(*error.find("code"), bridge::JSValue("EUNSPECIFIED")) << line;
        EXPECT_FALSE(error.find("message")->asString()->empty()) << line;
    }
}

// The tunnel module starts (events bound, tray thread running) at its first request, even a bad one.
TEST_F(StdioHostTest, EventsFlowOnceTheTunnelModuleIsAskedFor) {
    const auto emitted = [&] {
        const std::size_t before = lines().size();
        runtime->events->EmitMenuBarAction(bridge::JSValueObject{{"type", "exit"}, {"id", 3000}});
        return lines().size() > before;
    };
    EXPECT_FALSE(emitted());
    answer(R"({"id":1,"module":"VarnelBuildConfig","method":"getConstants"})");
    EXPECT_FALSE(emitted());
    EXPECT_FALSE(runtime->tray.core()->trayThreadStarted);
    answer(R"({"id":2,"method":"noSuchMethod"})");
    ASSERT_TRUE(emitted());
    EXPECT_EQ(lines().back(), Line(R"({"event":"menuBarAction","args":[{"id":3000,"type":"exit"}]})", HostLineKind::Event));
    EXPECT_TRUE(runtime->tray.core()->trayThreadStarted);
}

// The real executable's line ends and stdio modes; input closed before any answer is read still lets out every answer.
TEST(HostProcess, AnswersInArrivalOrderGoesOnAfterBadLinesAndEndsWithItsInput) {
    ChildProcess host = ChildProcess::start(VARNEL_HOST_EXE, {"host"});
    const std::pair<std::string, std::string> exchange[] = {
        {R"({"id":1,"method":"requestNotificationPermission"})", R"({"id":1,"result":true})"},
        {"{\"id\":\"two\",\"method\":\"requestNotificationPermission\"}\r", R"({"id":"two","result":true})"},
        {"this is not JSON", hostError("null", "The line is not JSON: Unexpected character at offset 1.").first},
        {std::string(200000, '['), hostError("null", "The line is not JSON: Nesting deeper than 256 levels.").first},
        {R"([{"id":3,"method":"requestNotificationPermission"}])", hostError("null", "The request is not a JSON object.").first},
        {R"({"id":4,"method":"noSuchMethod"})", hostError("4", "Unknown method: VarnelTunnel.noSuchMethod.").first},
        {R"({"id":5,"method":"promptVpnAuth","args":["a","b"]})", authPromptRejection("5")},
    };
    for (const auto& [request, answer] : exchange) ASSERT_TRUE(host.writeLine(request));
    host.closeInput();
    std::string line;
    for (const auto& [request, answer] : exchange) EXPECT_EQ(host.readLine(line) ? line : "<end>", answer) << request.substr(0, 80);
    EXPECT_FALSE(host.readLine(line)) << line;
    EXPECT_EQ(host.wait(), 0);
}

}  // namespace
}  // namespace varnel
