#include <cstdio>
#include <string>
#include <vector>

#include "app/desktop_app.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    std::vector<std::string> args = varnel::platform::commandLineArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    const varnel::DesktopOptionsParse parsed = varnel::parseDesktopOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n%s", parsed.error.c_str(), varnel::kDesktopUsage);
        return 2;
    }
    return varnel::runDesktopApp(*parsed.options);
}
