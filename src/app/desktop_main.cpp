#include <cstdio>
#include <string>
#include <vector>

#include "app/desktop_app.h"
#include "platform/desktop_entry.h"

int varnel::desktopMain(std::vector<std::string> args) {
    if (!args.empty()) args.erase(args.begin());
    const DesktopOptionsParse parsed = parseDesktopOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "%s\n%s", parsed.error.c_str(), kDesktopUsage);
        return 2;
    }
    return runDesktopApp(*parsed.options);
}
