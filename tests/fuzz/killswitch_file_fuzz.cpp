// killswitch.txt on any file contents. What is read is what the record's own writer writes back
// and reads again, and hand-edited CR LF line ends change nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "line_ends.h"
#include "killswitch/killswitch_file.h"
#include "scratch_file.h"

namespace {

using varnel::killswitch::KillSwitchRecord;

bool operator==(const KillSwitchRecord& a, const KillSwitchRecord& b) {
    return a.protocol == b.protocol && a.port == b.port && a.addresses == b.addresses;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using varnel::fuzz::require;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const varnel::fuzz::ScratchFile file("killswitch.txt");

    file.write(bytes);
    const KillSwitchRecord record = varnel::killswitch::readKillSwitchFile(file.path());
    require(record == varnel::killswitch::parseKillSwitchRecord(bytes), "the file reads as its bytes parse");

    const std::string crlf = varnel::fuzz::withLineEnds(bytes, "\r\n");
    require(varnel::killswitch::parseKillSwitchRecord(crlf) == record, "CR LF line ends change nothing");

    file.remove();
    varnel::killswitch::writeKillSwitchFile(file.path(), record.protocol, record.port, record.addresses);
    require(varnel::killswitch::readKillSwitchFile(file.path()) == record, "a record written reads back the same");
    return 0;
}
