#pragma once
// The JSON-lines host: one request per line in, one answer or event per line out. It loads the
// modules like any host and answers each request by calling the method on the calling thread (the
// interface thread); worker methods answer later from their own threads. A module is initialised
// when the first request for it comes, as a host loads a module when the interface first uses it.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/module_registry.h"
#include "bridge/js_value.h"

namespace varnel {

struct Runtime;

enum class HostLineKind { Result, Error, HostError, Event };
// Receives each output line whole (without its line feed), from any thread.
using HostLineSink = std::function<void(std::string line, HostLineKind kind)>;

class StdioHost {
public:
    // Loads the modules; each is initialised at its first request (for VarnelTunnel: its event
    // senders bound and the tray thread started), and events flow from then on.
    StdioHost(const std::shared_ptr<Runtime>& runtime, HostLineSink sink);

    // One input line, with or without its CR.
    void handleLine(std::string_view line);
    // One request already parsed into an object.
    void handleRequest(const bridge::JSValueObject& request);
    // Answers a line that could not be taken as a request.
    void hostError(const bridge::JSValue& id, std::string_view sentence);
    // Initialises every module that has not been yet, as if each had been asked for: for a host
    // whose interface could not start, so that the tray and its events still work.
    void initializeModules();

    const ModuleRegistry& registry() const { return registry_; }

private:
    void answerConstants(const bridge::JSValue& id, const ModuleRegistry::Module& module);
    void initializeOnce(const ModuleRegistry::Module& module);

    HostLineSink sink_;
    ModuleRegistry registry_;
    bridge::ReactContextPtr context_;
    // The modules initialised so far; touched on the interface thread only.
    std::vector<const ModuleRegistry::Module*> initialized_;
};

}  // namespace varnel
