#include "util/app_termination.h"

#include <algorithm>

#include "platform/process_list.h"

namespace varnel::util {

std::string foldAsciiCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bridge::JSValueObject terminateApps(const std::vector<std::string>& names) {
    std::vector<std::string> wanted;
    for (const std::string& name : names) wanted.push_back(foldAsciiCase(name));

    // A list that names our own program (the host itself, say) must not end the call that reads it.
    const std::uint32_t self = platform::currentProcessId();
    bridge::JSValueArray terminated;
    for (const platform::ProcessEntry& process : platform::listProcesses()) {
        if (process.pid == self) continue;
        const std::string folded = foldAsciiCase(process.exeName);
        if (std::find(wanted.begin(), wanted.end(), folded) == wanted.end()) continue;
        if (platform::terminateProcess(process.pid)) terminated.emplace_back(process.exeName);
    }
    return bridge::JSValueObject{{"terminated", bridge::JSValue(std::move(terminated))}};
}

}  // namespace varnel::util
