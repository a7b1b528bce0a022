#pragma once
// What the bridge needs from whatever hosts the interface. It mirrors the host operations of a
// React Native module host (module builder, value writer, promise callbacks, EmitJSEvent), so that an
// adapter from a real React Native host is thin. Text crosses this boundary as UTF-16, as it does there.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace varnel::bridge {

class JSValue;

// Receives one value as a stream of calls. Objects: begin, then name/value pairs, then end.
class JSValueWriter {
public:
    virtual ~JSValueWriter() = default;
    virtual void WriteNull() = 0;
    virtual void WriteBoolean(bool value) = 0;
    virtual void WriteInt64(std::int64_t value) = 0;
    virtual void WriteDouble(double value) = 0;
    virtual void WriteString(std::u16string_view value) = 0;
    virtual void WriteObjectBegin() = 0;
    virtual void WritePropertyName(std::u16string_view name) = 0;
    virtual void WriteObjectEnd() = 0;
    virtual void WriteArrayBegin() = 0;
    virtual void WriteArrayEnd() = 0;
};

// Writes an argument list (an array) into the host's writer.
using ArgumentWriter = std::function<void(JSValueWriter&)>;
// A promise callback: the host reads the argument list that the writer function writes.
using MethodResultCallback = std::function<void(const ArgumentWriter&)>;
// One call of a method: the argument list as the interface sent it, and the two promise callbacks.
using MethodDelegate = std::function<void(const JSValue& args, MethodResultCallback resolve, MethodResultCallback reject)>;
// Writes a module's constants as property name / value pairs into an object the host has begun.
using ConstantProvider = std::function<void(JSValueWriter&)>;

// The host's side of a loaded interface instance. Shared, because event senders keep it; EmitJSEvent
// may be called from any thread.
class ReactContext {
public:
    virtual ~ReactContext() = default;
    virtual void EmitJSEvent(std::string_view emitterName, std::string_view eventName, const ArgumentWriter& args) = 0;
};
using ReactContextPtr = std::shared_ptr<ReactContext>;
using InitializerDelegate = std::function<void(const ReactContextPtr&)>;

enum class MethodKind { Promise };

// Records a module's members in the order they are added.
class ModuleBuilder {
public:
    virtual ~ModuleBuilder() = default;
    virtual void AddInitializer(InitializerDelegate initializer) = 0;
    virtual void AddMethod(std::string name, MethodKind kind, MethodDelegate delegate) = 0;
    virtual void AddConstantProvider(ConstantProvider provider) = 0;
};

// Creates one module instance, records its members in the builder and returns the instance, which
// the host keeps alive for as long as it uses the members.
using ModuleProvider = std::function<std::shared_ptr<void>(ModuleBuilder&)>;

class PackageBuilder {
public:
    virtual ~PackageBuilder() = default;
    virtual void AddTurboModule(std::string name, ModuleProvider provider) = 0;
};

}  // namespace varnel::bridge
