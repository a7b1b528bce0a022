#include "app/stdio_session.h"

#include <cstdio>
#include <cstdlib>

#include "app/line_reader.h"

namespace varnel {

namespace {
constexpr std::size_t kMaxRequestBytes = 16 * 1024 * 1024;
}

void serveStandardInput(StdioHost& host, LineOutput& output) {
    LineReader reader(stdin, kMaxRequestBytes);
    std::string line;
    for (LineReader::Status status; (status = reader.next(line)) != LineReader::Status::End;) {
        if (status == LineReader::Status::TooLong)
            host.hostError(bridge::JSValue(), "The request line is longer than 16 MiB.");
        else
            host.handleLine(line);
    }
    // End of input ends the host at once: what has been answered is written, workers are not awaited.
    output.close();
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace varnel
