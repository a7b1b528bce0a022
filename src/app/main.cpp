#include <cstdio>
#include <string>

#include "app/commands.h"
#include "platform/console.h"

namespace {

int usage() {
    std::fputs("usage: varnel host\n"
               "       varnel call METHOD [ARGS_JSON]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = varnel::platform::commandLineArguments(argc, argv);
    if (args.size() == 2 && args[1] == "host") varnel::runHostCommand();
    if ((args.size() == 3 || args.size() == 4) && args[1] == "call")
        varnel::runCallCommand(args[2], args.size() == 4 ? args[3] : std::string());
    return usage();
}
