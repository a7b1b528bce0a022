#pragma once
// The VPN server endpoint as a profile's OpenVPN configuration names it.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace varnel::killswitch {

struct OvpnRemote {
    std::string host;
    std::int32_t port = 0;
    std::string proto;
};

// The last "remote" line's host and port and the last "proto" line's value; the initial value for
// a file that cannot be opened.
OvpnRemote readOvpnRemote(const platform::PathText& configPath);
// The same, for configuration text already read (CR LF already folded).
OvpnRemote parseOvpnRemote(std::string_view text);

}  // namespace varnel::killswitch
