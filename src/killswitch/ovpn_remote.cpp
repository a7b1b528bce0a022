#include "killswitch/ovpn_remote.h"

#include <sstream>

#include "bridge/decimal_integer.h"
#include "storage/text_mode.h"

namespace varnel::killswitch {

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
            // The number at the start of the port, as a stream would read one.
            if (tokens >> value) remote.port = bridge::parseDecimalInteger<std::int32_t>(value, bridge::AfterDigits::Ignore, bridge::OutOfRange::NearestLimit);
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
