#include <cstdio>
#include <memory>

#include "app/commands.h"
#include "app/line_output.h"
#include "app/line_reader.h"
#include "module/runtime.h"
#include "app/stdio_host.h"
#include "app/stdio_session.h"
#include "platform/console.h"

namespace varnel {

void runHostCommand() {
    platform::useBinaryStdio();
    auto runtime = std::make_shared<Runtime>(systemServices());
    // Lives until the process ends: workers may still answer through it after the input has ended.
    auto* output = new LineOutput(stdout);
    StdioHost host(runtime, [output](std::string line, HostLineKind) { output->write(std::move(line)); });
    serveStandardInput(host, *output);
}

}  // namespace varnel
