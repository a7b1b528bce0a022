#include "bridge/argument_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "bridge/promise.h"
#include "bridge/worker.h"
#include "support/test_host.h"
#include "support/wait_until.h"

namespace varnel {
namespace {

using test::CallRecord;
using test::TestHost;

TEST(ArgumentReader, CoercesEveryValueTypeToStringBoolAndInt) {
    const std::tuple<bridge::JSValue, std::string, bool, std::int32_t> cases[] = {
        {"abc", "abc", true, 0}, {"false", "false", true, 0}, {"", "", false, 0}, {" 443", " 443", true, 443},
        {"\t-12", "\t-12", true, -12}, {"+7", "+7", true, 7}, {"443 ", "443 ", true, 0}, {"0x1F", "0x1F", true, 0},
        // A figure beyond 64 bits clamps to the nearest limit, which is then cut to its low 32 bits.
        {"99999999999999999999", "99999999999999999999", true, -1}, {"-99999999999999999999", "-99999999999999999999", true, 0},
        {true, "true", true, 1}, {false, "false", false, 0}, {std::int64_t{-5}, "-5", true, -5}, {std::int64_t{0}, "0", false, 0},
        {std::int64_t{4294967295}, "4294967295", true, -1}, {std::int64_t{2147483648}, "2147483648", true, -2147483647 - 1},
        {1.5, "1.5", true, 1}, {2.0, "2", true, 2}, {-0.0, "-0", false, 0}, {3.9, "3.9", true, 3}, {-3.9, "-3.9", true, -3},
        {0.0000001, "0", true, 0}, {2.0000005, "2.000001", true, 2}, {1e20, "100000000000000000000", true, -1},
        {bridge::JSValue(), "", false, 0}, {bridge::JSValueObject{{"a", 1}}, "", false, 0}, {bridge::JSValueArray{"x"}, "", false, 0},
    };
    for (const auto& [value, asString, asBool, asInt] : cases) {
        EXPECT_EQ(bridge::readStringArg(value), asString) << asString;
        EXPECT_EQ(bridge::readBoolArg(value), asBool) << asString;
        EXPECT_EQ(bridge::readIntArg(value), asInt) << asString;
    }
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [d, asInt] : {std::pair(std::nan(""), 0), {inf, -1}, {-inf, 0}, {1e300, -1}, {-1e300, 0}})
        EXPECT_EQ(bridge::readIntArg(bridge::JSValue(d)), asInt) << d;
}

// Events are dropped until the module's initialiser runs, then reach only the newest module the host initialised.
TEST(ModuleEvents, GoOnlyToTheNewestInitialisedModule) {
    std::shared_ptr<Runtime> runtime = test::makeTestRuntime();
    const bridge::JSValueObject payload{{"action", "connect"}, {"id", "s1"}};
    TestHost first(runtime), second(runtime), third(runtime);
    runtime->events->EmitMenuBarAction(payload);
    first.initialize();
    runtime->events->EmitMenuBarAction(payload);
    runtime->events->EmitAppWindowDidShow();
    const auto events = first.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].emitter + " " + events[0].name + " " + testing::PrintToString(events[0].args),
              R"(RCTDeviceEventEmitter menuBarAction [{"action":"connect","id":"s1"}])");
    EXPECT_EQ(events[1].name + " " + testing::PrintToString(events[1].args), "appWindowDidShow []");
    first.unload();  // the host drops the module, as on a reload of the interface
    runtime->events->EmitAppWindowDidShow();
    second.initialize();
    third.initialize();
    runtime->events->EmitAppWindowDidShow();
    EXPECT_EQ(first.events().size() + second.events().size(), 2u);
    EXPECT_EQ(third.events().size(), 1u);
}

// Callbacks that record every settlement the host would receive.
template <class T>
bridge::Promise<T> recordedPromise(const std::shared_ptr<CallRecord>& record) {
    auto settle = [record](bool resolved) {
        return [record, resolved](const bridge::ArgumentWriter& write) { record->add({resolved, test::capture(write)}); };
    };
    return bridge::Promise<T>(settle(true), settle(false));
}

bridge::JSValue list(bridge::JSValue value) { return bridge::JSValue(bridge::JSValueArray{std::move(value)}); }
bridge::JSValue rejection(const std::string& message) {
    return list(bridge::JSValueObject{{"code", "EUNSPECIFIED"}, {"message", message}, {"userInfo", bridge::JSValue()}});
}

struct RefusingLauncher final : platform::ThreadLauncher {
    bool startDetached(std::function<void()> body) override { return !refuse && platform::systemThreadLauncher()->startDetached(std::move(body)); }
    bool refuse = false;
};

// A worker's promise settles once, whatever its body does; a thread that cannot start rejects at once.
TEST(Worker, SettlesOnceWhateverItsBodyDoes) {
    using Body = std::function<void(const bridge::Promise<bridge::JSValueObject>&)>;
    const std::pair<Body, bridge::JSValue> cases[] = {
        {[](const auto& p) { p.resolve(bridge::JSValueObject{}); p.reject("too late"); }, list(bridge::JSValueObject{})},
        {[](const auto&) {}, rejection("Promise destroyed.")},
        {[](const auto&) { throw std::runtime_error("socket gone"); }, rejection("socket gone")},
    };
    RefusingLauncher threads;
    for (const auto& [body, expected] : cases) {
        auto record = std::make_shared<CallRecord>();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        bridge::startWorker(threads, "connectOvpn", recordedPromise<bridge::JSValueObject>(record), [body, finished](const auto& p) {
            const std::shared_ptr<void> mark(nullptr, [finished](void*) { *finished = true; });  // however the body ends
            body(p);
        });
        EXPECT_EQ(record->wait().value, expected);
        EXPECT_TRUE(test::waitUntil([&] { return finished->load(); }));
        EXPECT_EQ(record->all().size(), 1u);
    }
    threads.refuse = true;
    auto record = std::make_shared<CallRecord>();
    bridge::startWorker(threads, "measureTcpLatency", recordedPromise<std::int32_t>(record), [](const auto&) { FAIL(); });
    EXPECT_EQ(record->all().size(), 1u);
    EXPECT_EQ(record->wait().value, rejection("Could not start a thread for measureTcpLatency."));
}

}  // namespace
}  // namespace varnel
