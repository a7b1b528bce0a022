// killswitch.txt on any contents, against its parser and its own writer.

#include "fuzz_check.h"
#include "killswitch/killswitch_file.h"

void varnel::fuzz::fuzzOne(std::string_view bytes) {
    using namespace killswitch;
    const auto fields = [](const KillSwitchRecord& r) { return std::tie(r.protocol, r.port, r.addresses); };
    const platform::PathText& file = scratchFile(bytes);
    const KillSwitchRecord record = readKillSwitchFile(file);
    require(fields(record) == fields(parseKillSwitchRecord(bytes)), "the file reads as its bytes parse");
    require(fields(parseKillSwitchRecord(withLineEnds(bytes, "\r\n"))) == fields(record), "CR LF line ends change nothing");
    writeKillSwitchFile(scratchPath(), record.protocol, record.port, record.addresses);
    require(fields(readKillSwitchFile(file)) == fields(record), "a record written reads back the same");
}
