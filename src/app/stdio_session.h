#pragma once
// Serving the JSON-lines protocol on standard input and output, for every program that offers it.

#include "app/line_output.h"
#include "app/stdio_host.h"

namespace varnel {

// Hands each line of standard input to host, on the calling thread (the interface thread), until the
// input ends; then writes what has been answered and ends the process with exit code 0 at once,
// without waiting for workers. output is where host's sink writes.
[[noreturn]] void serveStandardInput(StdioHost& host, LineOutput& output);

}  // namespace varnel
