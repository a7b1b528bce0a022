#pragma once
// The desktop application's command line.

#include <optional>
#include <string>
#include <vector>

namespace varnel {

struct DesktopOptions {
    enum class Interface {
        Page,   // the interface bundle in the window (the product)
        Stdio,  // the JSON-lines protocol on standard input and output, the window shown as well
    };
    Interface interface = Interface::Page;
    // A web-automation driver may take over the page.
    bool automation = false;
};

struct DesktopOptionsParse {
    std::optional<DesktopOptions> options;  // empty when the command line is wrong
    std::string error;                      // then why, as one sentence
};

// args: the command-line arguments after the program's name.
DesktopOptionsParse parseDesktopOptions(const std::vector<std::string>& args);

inline constexpr const char* kDesktopUsage =
    "usage: varnel-vpn [--interface=page|--interface=stdio] [--automation]\n";

}  // namespace varnel
