#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>

#include "app/commands.h"
#include "app/json_reader.h"
#include "module/runtime.h"
#include "app/stdio_host.h"
#include "platform/console.h"

namespace varnel {

void runCallCommand(const std::string& method, const std::string& argsJson) {
    platform::useBinaryStdio();
    auto runtime = std::make_shared<Runtime>(systemServices());

    // The first answer decides the exit code; events that come before it are printed too.
    auto exitCode = std::make_shared<std::promise<int>>();
    auto once = std::make_shared<std::once_flag>();
    auto printLock = std::make_shared<std::mutex>();
    StdioHost host(runtime, [=](std::string line, HostLineKind kind) {
        line += '\n';
        {
            std::lock_guard lock(*printLock);
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        }
        if (kind == HostLineKind::Event) return;
        const int code = kind == HostLineKind::Result ? 0 : kind == HostLineKind::Error ? 1 : 2;
        std::call_once(*once, [&] { exitCode->set_value(code); });
    });

    bridge::JSValueObject request;
    request["id"] = bridge::JSValue(1);
    const auto dot = method.find('.');
    if (dot != std::string::npos) request["module"] = bridge::JSValue(method.substr(0, dot));
    request["method"] = bridge::JSValue(dot == std::string::npos ? method : method.substr(dot + 1));
    JsonParseResult args = parseJson(argsJson.empty() ? "[]" : argsJson);
    if (!args.value) {
        host.hostError(bridge::JSValue(1), "The arguments are not JSON: " + args.error);
    } else {
        request["args"] = *args.value;
        host.handleRequest(request);
    }
    const int code = exitCode->get_future().get();
    std::_Exit(code);
}

}  // namespace varnel
