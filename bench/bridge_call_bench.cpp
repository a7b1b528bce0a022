// One call through the bridge (read the arguments, create and settle the promise, write the result)
// against the same work done by a direct function call. The ratio of the two is the bridge's cost.

#include <benchmark/benchmark.h>

#include <memory>

#include "app/json_writer.h"
#include "app/module_registry.h"
#include "app/modules.h"
#include "app/runtime.h"
#include "bridge/js_value.h"

namespace {

using namespace varnel;

bool requestNotificationPermissionDirect() { return true; }

void BM_DirectCall(benchmark::State& state) {
    for (auto _ : state) {
        bool value = requestNotificationPermissionDirect();
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_DirectCall);

void BM_BridgeCall(benchmark::State& state) {
    auto runtime = std::make_shared<Runtime>();
    ModuleRegistry registry;
    addVarnelModules(registry, runtime);
    const MethodDelegate& method = *registry.findMethod("VarnelTunnel", "requestNotificationPermission");
    const JSValue args{JSValueArray{}};
    JsonTextWriter writer(true);
    MethodResultCallback resolve = [&writer](const ArgumentWriter& write) { write(writer); };
    for (auto _ : state) {
        method(args, resolve, resolve);
        benchmark::DoNotOptimize(writer.take());
    }
}
BENCHMARK(BM_BridgeCall);

}  // namespace
