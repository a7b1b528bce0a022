#include "app/stdio_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <mutex>

#include "module/runtime.h"
#include "support/test_runtime.h"
#include "support/method_names.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

// The host's output lines, in the order they were written.
struct Output {
    std::mutex mutex;
    std::vector<std::pair<std::string, HostLineKind>> lines;

    HostLineSink sink() {
        return [this](std::string line, HostLineKind kind) {
            std::lock_guard lock(mutex);
            lines.emplace_back(std::move(line), kind);
        };
    }
    std::pair<std::string, HostLineKind> last() {
        std::lock_guard lock(mutex);
        return lines.back();
    }
};

class StdioHostTest : public ::testing::Test {
protected:
    std::shared_ptr<Runtime> runtime = test::makeTestRuntime();
    Output output;
    StdioHost host{runtime, output.sink()};

    std::string answer(std::string_view line) {
        host.handleLine(line);
        return output.last().first;
    }
};

TEST_F(StdioHostTest, RequestsThatCannotBeTakenAnswerAHostErrorLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"", R"({"id":null,"hostError":"The line is not JSON: Unexpected end of input."})"},
        {"{\"id\":1,", R"({"id":null,"hostError":"The line is not JSON: Unexpected end of input."})"},
        {"[1,2]", R"({"id":null,"hostError":"The request is not a JSON object."})"},
        {"\"getStatus\"", R"({"id":null,"hostError":"The request is not a JSON object."})"},
        {R"({"id":{"n":1},"method":"getStatus"})", R"({"id":null,"hostError":"The request id must be a number or a string."})"},
        {R"({"id":true,"method":"getStatus"})", R"({"id":null,"hostError":"The request id must be a number or a string."})"},
        {R"({"id":7})", R"({"id":7,"hostError":"The request has no method name."})"},
        {R"({"id":7,"method":3})", R"({"id":7,"hostError":"The request has no method name."})"},
        {R"({"id":7,"module":1,"method":"x"})", R"({"id":7,"hostError":"The module name must be a string."})"},
        {R"({"id":"q","module":"Other","method":"x"})", R"({"id":"q","hostError":"Unknown module: Other."})"},
        {R"({"id":2.5,"method":"getConstants"})", R"({"id":2.5,"hostError":"Unknown method: VarnelTunnel.getConstants."})"},
        {R"({"method":"nope"})", R"({"id":null,"hostError":"Unknown method: VarnelTunnel.nope."})"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(answer(in), out);
        EXPECT_EQ(output.last().second, HostLineKind::HostError);
    }
}

TEST_F(StdioHostTest, AnswersEchoTheIdAndCarryTheResultOrTheRejection) {
    EXPECT_EQ(answer("{\"id\":\"a\\u00e9\",\"method\":\"requestNotificationPermission\"}\r"),
              "{\"id\":\"a\xC3\xA9\",\"result\":true}");
    EXPECT_EQ(answer(R"({"id":-9223372036854775808,"method":"promptVpnAuth","args":{"not":"a list"}})"),
              R"({"id":-9223372036854775808,"error":{"code":"EUNSPECIFIED","message":"Interactive auth prompt not available on Windows","userInfo":null}})");
    EXPECT_EQ(output.last().second, HostLineKind::Error);
    EXPECT_EQ(answer(R"({"id":1,"module":"VarnelBuildConfig","method":"getConstants","args":[1]})"),
              R"({"id":1,"result":{"apiBaseUrl":"https://api.varnel.example/api/v1","includeVpnAuthDeviceMetadata":false}})");
}

TEST_F(StdioHostTest, EveryTableMethodAnswersWithoutAHostError) {
    const std::size_t count = test::kVarnelTunnelMethods.size();
    for (std::size_t i = 0; i < count; ++i)
        host.handleLine(R"({"id":)" + std::to_string(i) + R"(,"method":")" + test::kVarnelTunnelMethods[i] + "\"}");
    // Worker methods answer later; every answer must be in before the host goes away. Events that
    // some methods cause (the tray's) are lines too, but answer nothing.
    ASSERT_TRUE(test::waitUntil([&] {
        std::lock_guard lock(output.mutex);
        return std::count_if(output.lines.begin(), output.lines.end(),
                             [](const auto& line) { return line.second != HostLineKind::Event; }) == static_cast<std::ptrdiff_t>(count);
    }));
    std::lock_guard lock(output.mutex);
    for (const auto& [line, kind] : output.lines) EXPECT_NE(kind, HostLineKind::HostError) << line;
}

TEST_F(StdioHostTest, EventsBecomeEventLines) {
    runtime->events->EmitMenuBarAction(JSValueObject{{"type", JSValue("exit")}, {"id", JSValue(3000)}});
    EXPECT_EQ(output.last().first, R"({"event":"menuBarAction","args":[{"id":3000,"type":"exit"}]})");
    EXPECT_EQ(output.last().second, HostLineKind::Event);
    runtime->events->EmitAppWindowDidShow();
    EXPECT_EQ(output.last().first, R"({"event":"appWindowDidShow","args":[]})");
}

}  // namespace
}  // namespace varnel
