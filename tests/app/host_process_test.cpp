#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/json_reader.h"
#include "support/child_process.h"

// The real executable over its stdio, as the interface process talks to it: what these catch is
// what an in-process host cannot see, such as line ends, stdio modes, exit codes and argument quoting.

namespace varnel {
namespace {

using test::ChildProcess;

const std::string kConstantsAnswer =
    R"({"id":1,"result":{"apiBaseUrl":"https://api.varnel.example/api/v1","includeVpnAuthDeviceMetadata":false}})";

std::string authPromptRejection(const std::string& id) {
    return R"({"id":)" + id +
           R"(,"error":{"code":"EUNSPECIFIED","message":"Interactive auth prompt not available on Windows","userInfo":null}})";
}

ChildProcess startHost() {
    return ChildProcess::start(VARNEL_HOST_EXE, {"host"});
}

std::string nextLine(ChildProcess& child) {
    std::string line;
    if (!child.readLine(line)) ADD_FAILURE() << "the output ended early";
    return line;
}

// A hostError line names the request it answers (null when there was none to name) and says in a
// sentence what was wrong; the wording is the host's to choose.
void expectHostError(const std::string& line, const JSValue& id) {
    const JsonParseResult parsed = parseJson(line);
    ASSERT_TRUE(parsed.value.has_value()) << line;
    const JSValueObject* object = parsed.value->asObject();
    ASSERT_NE(object, nullptr) << line;
    EXPECT_EQ(object->size(), 2u) << line;
    const JSValue* answeredId = object->find("id");
    ASSERT_NE(answeredId, nullptr) << line;
    EXPECT_EQ(*answeredId, id) << line;
    const JSValue* sentence = object->find("hostError");
    ASSERT_NE(sentence, nullptr) << line;
    ASSERT_NE(sentence->asString(), nullptr) << line;
    EXPECT_FALSE(sentence->asString()->empty()) << line;
}

void expectEndAndExitCode(ChildProcess& child, int code) {
    std::string line;
    EXPECT_FALSE(child.readLine(line)) << "unexpected output: " << line;
    EXPECT_EQ(child.wait(), code);
}

TEST(HostProcess, AnswersInArrivalOrderAndGoesOnAfterBadLines) {
    ChildProcess host = startHost();
    // All of it is written before anything is read, so the host meets the bad lines back to back.
    const std::vector<std::string> requests = {
        R"({"id":1,"module":"VarnelBuildConfig","method":"getConstants"})",
        R"({"id":"first","method":"requestNotificationPermission"})",
        "{\"id\":2,\"method\":\"requestNotificationPermission\"}\r",
        "this is not JSON",
        R"([{"id":3,"method":"requestNotificationPermission"}])",
        R"({"id":4,"method":"noSuchMethod"})",
        R"({"id":5,"method":"promptVpnAuth","args":["a","b"]})",
        R"({"id":6,"method":"requestNotificationPermission"})",
    };
    for (const std::string& request : requests) ASSERT_TRUE(host.writeLine(request));

    EXPECT_EQ(nextLine(host), kConstantsAnswer);
    EXPECT_EQ(nextLine(host), R"({"id":"first","result":true})");
    EXPECT_EQ(nextLine(host), R"({"id":2,"result":true})");
    expectHostError(nextLine(host), JSValue());
    expectHostError(nextLine(host), JSValue());
    expectHostError(nextLine(host), JSValue(4));
    EXPECT_EQ(nextLine(host), authPromptRejection("5"));
    EXPECT_EQ(nextLine(host), R"({"id":6,"result":true})");

    host.closeInput();
    expectEndAndExitCode(host, 0);
}

TEST(HostProcess, RejectsDeepNestingWithoutFallingOver) {
    ChildProcess host = startHost();
    ASSERT_TRUE(host.writeLine(std::string(200000, '[')));
    ASSERT_TRUE(host.writeLine(R"({"id":7,"method":"requestNotificationPermission"})"));

    expectHostError(nextLine(host), JSValue());
    EXPECT_EQ(nextLine(host), R"({"id":7,"result":true})");
    host.closeInput();
    expectEndAndExitCode(host, 0);
}

TEST(HostProcess, EndOfInputEndsTheHostWithCodeZero) {
    {
        SCOPED_TRACE("input ends before any request");
        ChildProcess host = startHost();
        host.closeInput();
        expectEndAndExitCode(host, 0);
    }
    {
        SCOPED_TRACE("input ends right after a request");
        ChildProcess host = startHost();
        ASSERT_TRUE(host.writeLine(R"({"id":1,"module":"VarnelBuildConfig","method":"getConstants"})"));
        host.closeInput();
        EXPECT_EQ(nextLine(host), kConstantsAnswer);
        expectEndAndExitCode(host, 0);
    }
}

TEST(CallCommand, PrintsTheAnswerAndTellsItsKindByExitCode) {
    {
        SCOPED_TRACE("resolved");
        ChildProcess call = ChildProcess::start(VARNEL_HOST_EXE, {"call", "requestNotificationPermission"});
        EXPECT_EQ(nextLine(call), R"({"id":1,"result":true})");
        expectEndAndExitCode(call, 0);
    }
    {
        // The quotes in the argument list must reach the program intact.
        SCOPED_TRACE("rejected");
        ChildProcess call = ChildProcess::start(VARNEL_HOST_EXE, {"call", "promptVpnAuth", R"(["a","b"])"});
        EXPECT_EQ(nextLine(call), authPromptRejection("1"));
        expectEndAndExitCode(call, 1);
    }
    {
        SCOPED_TRACE("unknown method");
        ChildProcess call = ChildProcess::start(VARNEL_HOST_EXE, {"call", "nope"});
        expectHostError(nextLine(call), JSValue(1));
        expectEndAndExitCode(call, 2);
    }
}

}  // namespace
}  // namespace varnel
