#include "app/desktop_options.h"

namespace varnel {

DesktopOptionsParse parseDesktopOptions(const std::vector<std::string>& args) {
    DesktopOptions options;
    for (const std::string& arg : args) {
        if (arg == "--interface=page")
            options.interface = DesktopOptions::Interface::Page;
        else if (arg == "--interface=stdio")
            options.interface = DesktopOptions::Interface::Stdio;
        else if (arg == "--automation")
            options.automation = true;
        else
            return {std::nullopt, "Unknown argument: " + arg + "."};
    }
    return {options, {}};
}

}  // namespace varnel
