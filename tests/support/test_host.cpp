#include "support/test_host.h"

#include <stdexcept>

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "bridge/js_value_write.h"
#include "module/modules.h"

namespace varnel::bridge {

void PrintTo(const JSValue& value, std::ostream* out) {
    JsonTextWriter writer;
    writeJSValue(writer, value);
    *out << writer.take();
}

}  // namespace varnel::bridge

namespace varnel::test {

bridge::JSValue capture(const bridge::ArgumentWriter& write) {
    JsonTextWriter writer;
    write(writer);
    return parseJson(writer.take()).value.value_or(bridge::JSValue("<not JSON>"));
}

class TestHost::Context final : public bridge::ReactContext {
public:
    void EmitJSEvent(std::string_view emitter, std::string_view name, const bridge::ArgumentWriter& args) override {
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

std::shared_ptr<CallRecord> TestHost::call(const std::string& method, const bridge::JSValue& args) {
    const bridge::MethodDelegate* delegate = registry_->findMethod("VarnelTunnel", method);
    if (delegate == nullptr) throw std::invalid_argument("no method " + method);
    auto record = std::make_shared<CallRecord>();
    // A promise writes its settlement as an argument list; the host takes its first element.
    auto settleWith = [record](bool resolved) {
        return [record, resolved](const bridge::ArgumentWriter& write) { record->add({resolved, capture(write).asArray()->at(0)}); };
    };
    (*delegate)(args, settleWith(true), settleWith(false));
    return record;
}

std::vector<RecordedEvent> TestHost::events() {
    std::lock_guard lock(context_->mutex);
    return context_->events;
}

}  // namespace varnel::test
