#include "app/stdio_host.h"

#include <algorithm>
#include <exception>

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "module/modules.h"
#include "bridge/js_value_write.h"
#include "platform/text.h"

namespace varnel {

namespace {

std::string jsonText(const bridge::JSValue& value) {
    JsonTextWriter writer;
    bridge::writeJSValue(writer, value);
    return writer.take();
}

// The host's side of the interface instance: events become output lines. Kept apart from the host
// so that the event senders that hold it do not hold the modules too.
class LineEventContext final : public bridge::ReactContext {
public:
    explicit LineEventContext(HostLineSink sink) : sink_(std::move(sink)) {}
    void EmitJSEvent(std::string_view, std::string_view eventName, const bridge::ArgumentWriter& args) override {
        JsonTextWriter writer;
        writer.writeRaw("{\"event\":");
        writer.WriteString(platform::utf8ToWide(eventName));
        writer.writeRaw(",\"args\":");
        args(writer);
        writer.writeRaw("}");
        sink_(writer.take(), HostLineKind::Event);
    }

private:
    HostLineSink sink_;
};

// Builds the callback that writes {"id":ID,"<key>":VALUE} from a one-element argument list.
bridge::MethodResultCallback answerCallback(const HostLineSink& sink, const bridge::JSValue& id, const char* key, HostLineKind kind) {
    std::string prefix = "{\"id\":" + jsonText(id) + ",\"" + key + "\":";
    return [sink, prefix = std::move(prefix), kind](const bridge::ArgumentWriter& args) {
        JsonTextWriter writer(/*skipOuterArray=*/true);
        writer.writeRaw(prefix);
        args(writer);
        writer.writeRaw("}");
        sink(writer.take(), kind);
    };
}

bool isValidId(const bridge::JSValue& id) {
    switch (id.type()) {
        case bridge::JSValueType::Null:
        case bridge::JSValueType::String:
        case bridge::JSValueType::Int64:
        case bridge::JSValueType::Double: return true;
        default: return false;
    }
}

}  // namespace

StdioHost::StdioHost(const std::shared_ptr<Runtime>& runtime, HostLineSink sink)
    : sink_(std::move(sink)), context_(std::make_shared<LineEventContext>(sink_)) {
    addVarnelModules(registry_, runtime);
}

void StdioHost::initializeOnce(const ModuleRegistry::Module& module) {
    if (std::find(initialized_.begin(), initialized_.end(), &module) != initialized_.end()) return;
    initialized_.push_back(&module);
    for (const auto& initializer : module.initializers) initializer(context_);
}

void StdioHost::initializeModules() {
    for (const auto& module : registry_.modules()) initializeOnce(*module);
}

void StdioHost::hostError(const bridge::JSValue& id, std::string_view sentence) {
    JsonTextWriter writer;
    writer.writeRaw("{\"id\":" + jsonText(id) + ",\"hostError\":");
    writer.WriteString(platform::utf8ToWide(sentence));
    writer.writeRaw("}");
    sink_(writer.take(), HostLineKind::HostError);
}

void StdioHost::handleLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    JsonParseResult parsed = parseJson(line);
    if (!parsed.value) return hostError(bridge::JSValue(), "The line is not JSON: " + parsed.error);
    const bridge::JSValueObject* request = parsed.value->asObject();
    if (request == nullptr) return hostError(bridge::JSValue(), "The request is not a JSON object.");
    handleRequest(*request);
}

void StdioHost::handleRequest(const bridge::JSValueObject& request) {
    const bridge::JSValue* idValue = request.find("id");
    if (idValue != nullptr && !isValidId(*idValue))
        return hostError(bridge::JSValue(), "The request id must be a number or a string.");
    const bridge::JSValue id = idValue ? *idValue : bridge::JSValue();

    const bridge::JSValue* moduleValue = request.find("module");
    if (moduleValue != nullptr && moduleValue->asString() == nullptr)
        return hostError(id, "The module name must be a string.");
    const std::string moduleName = moduleValue ? *moduleValue->asString() : "VarnelTunnel";

    const bridge::JSValue* methodValue = request.find("method");
    if (methodValue == nullptr || methodValue->asString() == nullptr)
        return hostError(id, "The request has no method name.");
    const std::string& methodName = *methodValue->asString();

    const ModuleRegistry::Module* module = registry_.find(moduleName);
    if (module == nullptr) return hostError(id, "Unknown module: " + moduleName + ".");
    initializeOnce(*module);
    if (methodName == "getConstants" && !module->constantProviders.empty()) return answerConstants(id, *module);
    const bridge::MethodDelegate* method = registry_.findMethod(moduleName, methodName);
    if (method == nullptr) return hostError(id, "Unknown method: " + moduleName + "." + methodName + ".");

    static const bridge::JSValue kNoArguments{bridge::JSValueArray{}};
    const bridge::JSValue* args = request.find("args");
    try {
        (*method)(args ? *args : kNoArguments, answerCallback(sink_, id, "result", HostLineKind::Result),
                  answerCallback(sink_, id, "error", HostLineKind::Error));
    } catch (const std::exception& e) {
        // Methods settle their own failures; this is the host running out of something (memory).
        hostError(id, std::string("The host could not make the call: ") + e.what());
    }
}

void StdioHost::answerConstants(const bridge::JSValue& id, const ModuleRegistry::Module& module) {
    JsonTextWriter writer;
    writer.writeRaw("{\"id\":" + jsonText(id) + ",\"result\":");
    writer.WriteObjectBegin();
    for (const auto& provider : module.constantProviders) provider(writer);
    writer.WriteObjectEnd();
    writer.writeRaw("}");
    sink_(writer.take(), HostLineKind::Result);
}

}  // namespace varnel
