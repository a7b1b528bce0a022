#pragma once
// An in-process host: loads the modules like any host, calls methods by name, and keeps every settlement and event.

#include <condition_variable>
#include <iosfwd>
#include <mutex>

#include "app/module_registry.h"
#include "bridge/js_value.h"
#include "support/test_runtime.h"

namespace varnel::bridge {
// How a failed test shows a value: as JSON text (beside the value, where the test framework looks).
void PrintTo(const JSValue& value, std::ostream* out);
}  // namespace varnel::bridge

namespace varnel::test {

// What a writer function writes, read back as the stdio host's output line shows it.
bridge::JSValue capture(const bridge::ArgumentWriter& write);

struct Settlement {
    bool resolved = false;
    bridge::JSValue value;  // the result, or the rejection object
};

// One call's settlements, all of them, so that a test can see a second one.
class CallRecord {
public:
    void add(Settlement s) {
        std::lock_guard lock(mutex_);
        settlements_.push_back(std::move(s));
        changed_.notify_all();
    }
    // The first; a call that never settles meets the test's own timeout.
    Settlement wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !settlements_.empty(); });
        return settlements_.front();
    }
    std::vector<Settlement> all() {
        std::lock_guard lock(mutex_);
        return settlements_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Settlement> settlements_;
};

struct RecordedEvent {
    std::string emitter, name;
    bridge::JSValue args;
};

class TestHost {
public:
    explicit TestHost(std::shared_ptr<Runtime> runtime = makeTestRuntime());

    void initialize();  // as a host does when the interface loads the modules
    void unload() { registry_ = std::make_unique<ModuleRegistry>(); }

    std::shared_ptr<CallRecord> call(const std::string& method, const bridge::JSValue& args = bridge::JSValue(bridge::JSValueArray{}));
    Settlement callAndWait(const std::string& method, const bridge::JSValue& args = bridge::JSValue(bridge::JSValueArray{})) {
        return call(method, args)->wait();
    }

    std::vector<RecordedEvent> events();

private:
    class Context;
    std::shared_ptr<Runtime> runtime_;
    std::unique_ptr<ModuleRegistry> registry_;
    std::shared_ptr<Context> context_;
};

}  // namespace varnel::test
