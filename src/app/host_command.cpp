#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/commands.h"
#include "app/line_output.h"
#include "app/line_reader.h"
#include "module/runtime.h"
#include "app/stdio_host.h"
#include "platform/console.h"

namespace varnel {

namespace {
constexpr std::size_t kMaxRequestBytes = 16 * 1024 * 1024;
}

void runHostCommand() {
    platform::useBinaryStdio();
    auto runtime = std::make_shared<Runtime>(systemServices());
    // Lives until the process ends: workers may still answer through it after the input has ended.
    auto* output = new LineOutput(stdout);
    StdioHost host(runtime, [output](std::string line, HostLineKind) { output->write(std::move(line)); });

    LineReader reader(stdin, kMaxRequestBytes);
    std::string line;
    for (LineReader::Status status; (status = reader.next(line)) != LineReader::Status::End;) {
        if (status == LineReader::Status::TooLong)
            host.hostError(JSValue(), "The request line is longer than 16 MiB.");
        else
            host.handleLine(line);
    }
    // End of input ends the host at once: what has been answered is written, workers are not awaited.
    output->close();
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace varnel
