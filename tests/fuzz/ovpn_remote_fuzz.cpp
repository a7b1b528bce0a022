// The server endpoint read from a profile's configuration file, on any file contents. Host and
// protocol are single words, CR LF line ends change nothing, and the port's number is read as a
// stream reads an int.

#include <algorithm>
#include <cctype>
#include <sstream>

#include "bridge/decimal_integer.h"
#include "fuzz_check.h"
#include "killswitch/ovpn_remote.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using varnel::fuzz::require;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto remote = varnel::killswitch::readOvpnRemote(varnel::fuzz::scratchFile(bytes));
    const auto oneWord = [](const std::string& text) { return std::ranges::none_of(text, [](unsigned char c) { return std::isspace(c); }); };
    require(oneWord(remote.host) && oneWord(remote.proto), "host and protocol are single words");
    const auto crlf = varnel::killswitch::readOvpnRemote(varnel::fuzz::scratchFile(varnel::fuzz::withLineEnds(bytes, "\r\n")));
    require(std::tie(crlf.host, crlf.port, crlf.proto) == std::tie(remote.host, remote.port, remote.proto), "CR LF line ends change nothing");

    // Differential: a stream's own reading of a word that starts the text.
    if (bytes.empty() || std::isspace(static_cast<unsigned char>(bytes.front()))) return 0;
    std::istringstream stream{std::string(bytes)};
    std::int32_t streamValue = 0;
    stream >> streamValue;
    require(varnel::bridge::parseDecimalInteger<std::int32_t>(bytes, varnel::bridge::AfterDigits::Ignore, varnel::bridge::OutOfRange::NearestLimit) == streamValue,
            "a leading number reads as a stream reads it");
    return 0;
}
