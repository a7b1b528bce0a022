#include "service/options.h"

namespace varnel::service {

bool parseServiceOptions(const std::vector<std::string>& args, const std::string& socketFromEnvironment,
                         ServiceOptions& options, std::string& error) {
    options = ServiceOptions{};
    options.socketPath = socketFromEnvironment.empty() ? kDefaultSocketPath : socketFromEnvironment;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--status") {
            options.status = true;
            continue;
        }
        if (arg != "--socket" && arg != "--group") {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 == args.size() || args[i + 1].empty()) {
            error = arg + " needs a value";
            return false;
        }
        (arg == "--socket" ? options.socketPath : options.group) = args[++i];
    }
    return true;
}

}  // namespace varnel::service
