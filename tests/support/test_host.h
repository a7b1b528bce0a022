#pragma once
// An in-process host for tests: loads the modules like any host, calls methods by name with a value
// as the argument list, and captures each settlement and every event as values.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/module_registry.h"
#include "module/runtime.h"
#include "bridge/js_value.h"
#include "support/test_runtime.h"

namespace varnel::test {

struct Settlement {
    bool resolved = false;
    JSValue value;  // the result, or the rejection object
};

// One call's answers. Every settlement the host receives is kept, so a test can see a second one.
class CallRecord {
public:
    void add(Settlement s);
    // Waits for the first settlement; a call that never settles is caught by the test's own timeout.
    Settlement wait();
    std::size_t count();
    std::vector<Settlement> all();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Settlement> settlements_;
};

struct RecordedEvent {
    std::string emitter;
    std::string name;
    JSValue args;
};

class TestHost {
public:
    explicit TestHost(std::shared_ptr<Runtime> runtime = makeTestRuntime());

    // Runs the modules' initialisers, as a host does when the interface loads them.
    void initialize();
    // Drops the modules, as a host does when the interface reloads.
    void unload();

    std::shared_ptr<CallRecord> call(const std::string& method, const JSValue& args = JSValue(JSValueArray{}),
                                     const std::string& module = "VarnelTunnel");
    Settlement callAndWait(const std::string& method, const JSValue& args = JSValue(JSValueArray{}));

    std::vector<RecordedEvent> events();
    const ModuleRegistry& registry() const { return *registry_; }
    Runtime& runtime() { return *runtime_; }

private:
    class Context;
    std::shared_ptr<Runtime> runtime_;
    std::unique_ptr<ModuleRegistry> registry_;
    std::shared_ptr<Context> context_;
};

}  // namespace varnel::test
