// One call through the bridge (read the arguments, create and settle the promise, write the result)
// against the baseline of calling the same function directly and writing its result with the same
// writer. The ratio of the two is what the bridge costs per call.

#include <benchmark/benchmark.h>

#include <memory>

#include "app/json_writer.h"
#include "app/module_registry.h"
#include "module/modules.h"
#include "module/runtime.h"
#include "support/test_runtime.h"
#include "bridge/js_value.h"

namespace {

using namespace varnel;

bool notificationPermission(const std::string&, const std::string&) { return true; }

void BM_DirectCall(benchmark::State& state) {
    // Called through a pointer the optimiser cannot see through, as the bridge's delegate is.
    bool (*volatile function)(const std::string&, const std::string&) = notificationPermission;
    const std::string a = "first argument", b = "second argument";
    JsonTextWriter writer;
    for (auto _ : state) {
        writer.WriteBoolean(function(a, b));
        benchmark::DoNotOptimize(writer.take());
    }
}
BENCHMARK(BM_DirectCall);

void BM_BridgeCall(benchmark::State& state) {
    auto runtime = test::makeTestRuntime();
    ModuleRegistry registry;
    addVarnelModules(registry, runtime);
    const bridge::MethodDelegate& method = *registry.findMethod("VarnelTunnel", "requestNotificationPermission");
    // The same two strings as the baseline; the method declares none, so they are ignored as surplus.
    const bridge::JSValue args{bridge::JSValueArray{bridge::JSValue("first argument"), bridge::JSValue("second argument")}};
    JsonTextWriter writer(/*skipOuterArray=*/true);
    bridge::MethodResultCallback resolve = [&writer](const bridge::ArgumentWriter& write) { write(writer); };
    for (auto _ : state) {
        method(args, resolve, resolve);
        benchmark::DoNotOptimize(writer.take());
    }
}
BENCHMARK(BM_BridgeCall);

}  // namespace
