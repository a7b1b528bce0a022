#pragma once
// The command-line entry points of the varnel program.

#include <string>
#include <vector>

namespace varnel {

// `varnel host`: serves JSON-lines requests on standard input until it ends; never returns.
[[noreturn]] void runHostCommand();

// `varnel call METHOD [ARGS_JSON]`: one call, its answer printed as a line; never returns. Exits 0
// when resolved, 1 when rejected, 2 when the host cannot take the request. METHOD may be given as
// Module.method; VarnelTunnel is the default module.
[[noreturn]] void runCallCommand(const std::string& method, const std::string& argsJson);

}  // namespace varnel
