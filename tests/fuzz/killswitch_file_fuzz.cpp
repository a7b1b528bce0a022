// killswitch.txt on any file contents. What is read is what the record's own writer writes back
// and reads again, and hand-edited CR LF line ends change nothing.

#include "fuzz_check.h"
#include "killswitch/killswitch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnel::killswitch;
    const auto fields = [](const KillSwitchRecord& r) { return std::tie(r.protocol, r.port, r.addresses); };
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const varnel::platform::PathText& file = varnel::fuzz::scratchFile(bytes);
    const KillSwitchRecord record = readKillSwitchFile(file);
    varnel::fuzz::require(fields(record) == fields(parseKillSwitchRecord(bytes)), "the file reads as its bytes parse");
    varnel::fuzz::require(fields(parseKillSwitchRecord(varnel::fuzz::withLineEnds(bytes, "\r\n"))) == fields(record), "CR LF line ends change nothing");
    writeKillSwitchFile(varnel::fuzz::scratchPath(), record.protocol, record.port, record.addresses);
    varnel::fuzz::require(fields(readKillSwitchFile(file)) == fields(record), "a record written reads back the same");
    return 0;
}
