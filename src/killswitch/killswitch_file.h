#pragma once
// killswitch.txt: the last session's server endpoint, from which a restarted system rebuilds the
// server fields of the tunnel state. Three lines: protocol, port, addresses; no final line feed.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace varnel::killswitch {

struct KillSwitchRecord {
    std::string protocol;
    std::int32_t port = 0;
    std::string addresses;
};

// Writes killswitch.txt (no folder is created); failures are not reported.
void writeKillSwitchFile(const platform::PathText& file, std::string_view proto, std::int32_t port, std::string_view addresses);
// The record back; empty values for a missing file or missing lines, port 0 for a port line that
// is not a 32-bit number.
KillSwitchRecord readKillSwitchFile(const platform::PathText& file);
// The same, for the file's bytes.
KillSwitchRecord parseKillSwitchRecord(std::string_view bytes);

}  // namespace varnel::killswitch
