#pragma once
// The kill-switch service's command line:
//   varnel-killswitch-service [--socket PATH] [--group NAME]
//   varnel-killswitch-service --status

#include <string>
#include <vector>

namespace varnel::service {

inline constexpr const char* kDefaultSocketPath = "/run/VarnelKillSwitch.sock";
inline constexpr const char* kDefaultGroup = "varnel";

struct ServiceOptions {
    std::string socketPath;
    std::string group = kDefaultGroup;
    bool status = false;
};

// args without the program name; socketFromEnvironment is $VARNEL_KILLSWITCH_SOCKET (empty when
// unset), the default where --socket is not given, as the client takes it. False with a message for
// an unknown option or a missing value.
bool parseServiceOptions(const std::vector<std::string>& args, const std::string& socketFromEnvironment,
                         ServiceOptions& options, std::string& error);

inline constexpr const char* kServiceUsage =
    "usage: varnel-killswitch-service [--socket PATH] [--group NAME]\n"
    "       varnel-killswitch-service --status\n";

}  // namespace varnel::service
