#include "support/test_host.h"

#include <stdexcept>

#include "module/modules.h"
#include "platform/text.h"
#include "support/value_capture.h"

namespace varnel::test {

void CallRecord::add(Settlement s) {
    {
        std::lock_guard lock(mutex_);
        settlements_.push_back(std::move(s));
    }
    changed_.notify_all();
}

Settlement CallRecord::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !settlements_.empty(); });
    return settlements_.front();
}

std::size_t CallRecord::count() {
    std::lock_guard lock(mutex_);
    return settlements_.size();
}

std::vector<Settlement> CallRecord::all() {
    std::lock_guard lock(mutex_);
    return settlements_;
}

class TestHost::Context final : public ReactContext {
public:
    void EmitJSEvent(std::string_view emitter, std::string_view name, const ArgumentWriter& args) override {
        RecordedEvent event{std::string(emitter), std::string(name), capture(args)};
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::mutex mutex;
    std::vector<RecordedEvent> events;
};

TestHost::TestHost(std::shared_ptr<Runtime> runtime)
    : runtime_(std::move(runtime)), registry_(std::make_unique<ModuleRegistry>()), context_(std::make_shared<Context>()) {
    addVarnelModules(*registry_, runtime_);
}

void TestHost::initialize() { registry_->initializeAll(context_); }

void TestHost::unload() { registry_ = std::make_unique<ModuleRegistry>(); }

std::shared_ptr<CallRecord> TestHost::call(const std::string& method, const JSValue& args, const std::string& module) {
    const MethodDelegate* delegate = registry_->findMethod(module, method);
    if (delegate == nullptr) throw std::invalid_argument("no method " + module + "." + method);
    auto record = std::make_shared<CallRecord>();
    // The host reads the first element of the argument list the promise writes.
    auto settleWith = [record](bool resolved) {
        return [record, resolved](const ArgumentWriter& write) {
            JSValue list = capture(write);
            record->add({resolved, list.asArray()->at(0)});
        };
    };
    (*delegate)(args, settleWith(true), settleWith(false));
    return record;
}

Settlement TestHost::callAndWait(const std::string& method, const JSValue& args) { return call(method, args)->wait(); }

std::vector<RecordedEvent> TestHost::events() {
    std::lock_guard lock(context_->mutex);
    return context_->events;
}

}  // namespace varnel::test
