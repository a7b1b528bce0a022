#include "platform/command_line.h"

namespace varnel::platform {

std::vector<std::string> splitParameters(std::string_view parameters) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false, inArgument = false;
    for (char c : parameters) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inArgument = true;  // "" is an empty argument
        } else if (c == ' ' && !inQuotes) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) args.push_back(std::move(current));
    return args;
}

}  // namespace varnel::platform
