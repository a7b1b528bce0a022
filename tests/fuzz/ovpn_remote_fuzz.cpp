// The server endpoint read from a profile's configuration file, on any file contents. Host and
// protocol are single words, CR LF line ends change nothing, and the port's number is read as a
// stream reads an int.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "line_ends.h"
#include "bridge/decimal_integer.h"
#include "killswitch/ovpn_remote.h"
#include "scratch_file.h"

namespace {

using varnel::fuzz::require;

bool oneWord(const std::string& text) {
    for (const char c : text)
        if (std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

bool operator==(const varnel::killswitch::OvpnRemote& a, const varnel::killswitch::OvpnRemote& b) {
    return a.host == b.host && a.port == b.port && a.proto == b.proto;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const varnel::fuzz::ScratchFile file("profile.ovpn");

    file.write(bytes);
    const varnel::killswitch::OvpnRemote remote = varnel::killswitch::readOvpnRemote(file.path());
    require(oneWord(remote.host) && oneWord(remote.proto), "host and protocol are single words");

    const std::string crlf = varnel::fuzz::withLineEnds(bytes, "\r\n");
    file.write(crlf);
    require(varnel::killswitch::readOvpnRemote(file.path()) == remote, "CR LF line ends change nothing");

    // Differential: a stream's own reading of a word that starts the text.
    if (bytes.empty() || std::isspace(static_cast<unsigned char>(bytes.front()))) return 0;
    std::istringstream stream{std::string(bytes)};
    std::int32_t streamValue = 0;
    stream >> streamValue;
    require(varnel::parseDecimalInteger<std::int32_t>(bytes, varnel::AfterDigits::Ignore, varnel::OutOfRange::NearestLimit) == streamValue, "a leading number reads as a stream reads it");
    return 0;
}
