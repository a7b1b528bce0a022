#include "killswitch/ovpn_remote.h"

#include <limits>
#include <sstream>

#include "storage/text_mode.h"

namespace varnel::killswitch {

std::int32_t leadingInt32(std::string_view text) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1) value = kMax + 1;  // past every limit already; keep it from growing
    }
    if (negative) value = -value;
    if (value > kMax) return static_cast<std::int32_t>(kMax);
    if (value < kMin) return static_cast<std::int32_t>(kMin);
    return static_cast<std::int32_t>(value);
}

OvpnRemote parseOvpnRemote(std::string_view text) {
    OvpnRemote remote;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream tokens(line);
        std::string directive;
        if (!(tokens >> directive)) continue;
        if (directive == "remote") {
            std::string value;
            if (tokens >> value) remote.host = value;
            if (tokens >> value) remote.port = leadingInt32(value);
        } else if (directive == "proto") {
            std::string value;
            if (tokens >> value) remote.proto = value;
        }
    }
    return remote;
}

OvpnRemote readOvpnRemote(const platform::PathText& configPath) {
    const auto bytes = platform::readWholeFile(configPath);
    if (!bytes) return {};
    return parseOvpnRemote(storage::foldCrLf(*bytes));
}

}  // namespace varnel::killswitch
