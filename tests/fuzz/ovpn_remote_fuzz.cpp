// The server endpoint read from a configuration file of any contents.

#include <algorithm>
#include <cctype>
#include <sstream>

#include "bridge/decimal_integer.h"
#include "fuzz_check.h"
#include "killswitch/ovpn_remote.h"

void varnel::fuzz::fuzzOne(std::string_view bytes) {
    const auto remote = killswitch::readOvpnRemote(scratchFile(bytes));
    const auto oneWord = [](const std::string& text) { return std::ranges::none_of(text, [](unsigned char c) { return std::isspace(c); }); };
    require(oneWord(remote.host) && oneWord(remote.proto), "host and protocol are single words");
    const auto crlf = killswitch::readOvpnRemote(scratchFile(withLineEnds(bytes, "\r\n")));
    require(std::tie(crlf.host, crlf.port, crlf.proto) == std::tie(remote.host, remote.port, remote.proto), "CR LF line ends change nothing");
    if (bytes.empty() || std::isspace(static_cast<unsigned char>(bytes.front()))) return;
    std::istringstream stream{std::string(bytes)};
    std::int32_t streamValue = 0;
    stream >> streamValue;
    require(bridge::parseDecimalInteger<std::int32_t>(bytes, bridge::AfterDigits::Ignore, bridge::OutOfRange::NearestLimit) == streamValue, "a leading number reads as a stream reads it");
}
