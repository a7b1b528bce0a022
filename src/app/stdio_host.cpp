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

std::string jsonText(const JSValue& value) {
    JsonTextWriter writer;
    writeJSValue(writer, value);
    return writer.take();
}

// The host's side of the interface instance: events become output lines. Kept apart from the host
// so that the event senders that hold it do not hold the modules too.
class LineEventContext final : public ReactContext {
public:
    explicit LineEventContext(HostLineSink sink) : sink_(std::move(sink)) {}
    void EmitJSEvent(std::string_view, std::string_view eventName, const ArgumentWriter& args) override {
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
MethodResultCallback answerCallback(const HostLineSink& sink, const JSValue& id, const char* key, HostLineKind kind) {
    std::string prefix = "{\"id\":" + jsonText(id) + ",\"" + key + "\":";
    return [sink, prefix = std::move(prefix), kind](const ArgumentWriter& args) {
        JsonTextWriter writer(/*skipOuterArray=*/true);
        writer.writeRaw(prefix);
        args(writer);
        writer.writeRaw("}");
        sink(writer.take(), kind);
    };
}

bool isValidId(const JSValue& id) {
    switch (id.type()) {
        case JSValueType::Null:
        case JSValueType::String:
        case JSValueType::Int64:
        case JSValueType::Double: return true;
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

void StdioHost::hostError(const JSValue& id, std::string_view sentence) {
    JsonTextWriter writer;
    writer.writeRaw("{\"id\":" + jsonText(id) + ",\"hostError\":");
    writer.WriteString(platform::utf8ToWide(sentence));
    writer.writeRaw("}");
    sink_(writer.take(), HostLineKind::HostError);
}

void StdioHost::handleLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    JsonParseResult parsed = parseJson(line);
    if (!parsed.value) return hostError(JSValue(), "The line is not JSON: " + parsed.error);
    const JSValueObject* request = parsed.value->asObject();
    if (request == nullptr) return hostError(JSValue(), "The request is not a JSON object.");
    handleRequest(*request);
}

void StdioHost::handleRequest(const JSValueObject& request) {
    const JSValue* idValue = request.find("id");
    if (idValue != nullptr && !isValidId(*idValue))
        return hostError(JSValue(), "The request id must be a number or a string.");
    const JSValue id = idValue ? *idValue : JSValue();

    const JSValue* moduleValue = request.find("module");
    if (moduleValue != nullptr && moduleValue->asString() == nullptr)
        return hostError(id, "The module name must be a string.");
    const std::string moduleName = moduleValue ? *moduleValue->asString() : "VarnelTunnel";

    const JSValue* methodValue = request.find("method");
    if (methodValue == nullptr || methodValue->asString() == nullptr)
        return hostError(id, "The request has no method name.");
    const std::string& methodName = *methodValue->asString();

    const ModuleRegistry::Module* module = registry_.find(moduleName);
    if (module == nullptr) return hostError(id, "Unknown module: " + moduleName + ".");
    initializeOnce(*module);
    if (methodName == "getConstants" && !module->constantProviders.empty()) return answerConstants(id, *module);
    const MethodDelegate* method = registry_.findMethod(moduleName, methodName);
    if (method == nullptr) return hostError(id, "Unknown method: " + moduleName + "." + methodName + ".");

    static const JSValue kNoArguments{JSValueArray{}};
    const JSValue* args = request.find("args");
    try {
        (*method)(args ? *args : kNoArguments, answerCallback(sink_, id, "result", HostLineKind::Result),
                  answerCallback(sink_, id, "error", HostLineKind::Error));
    } catch (const std::exception& e) {
        // Methods settle their own failures; this is the host running out of something (memory).
        hostError(id, std::string("The host could not make the call: ") + e.what());
    }
}

void StdioHost::answerConstants(const JSValue& id, const ModuleRegistry::Module& module) {
    JsonTextWriter writer;
    writer.writeRaw("{\"id\":" + jsonText(id) + ",\"result\":");
    writer.WriteObjectBegin();
    for (const auto& provider : module.constantProviders) provider(writer);
    writer.WriteObjectEnd();
    writer.writeRaw("}");
    sink_(writer.take(), HostLineKind::Result);
}

}  // namespace varnel
