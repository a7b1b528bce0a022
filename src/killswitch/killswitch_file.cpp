#include "killswitch/killswitch_file.h"

#include "bridge/decimal_integer.h"
#include "platform/files.h"

namespace varnel::killswitch {

namespace {

// Hand edits may leave CR LF ends or trailing blanks; none of them belongs to a value.
std::string trimmedEnd(std::string_view text) {
    const std::size_t end = text.find_last_not_of("\r\n ");
    return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

}  // namespace

void writeKillSwitchFile(const platform::PathText& file, std::string_view proto, std::int32_t port, std::string_view addresses) {
    std::string bytes;
    bytes.append(proto).append("\n").append(std::to_string(port)).append("\n").append(addresses);
    platform::writeWholeFile(file, bytes);
}

KillSwitchRecord parseKillSwitchRecord(std::string_view bytes) {
    std::string_view lines[3];
    for (auto& line : lines) {
        if (bytes.empty()) break;
        const std::size_t end = bytes.find('\n');
        line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    }
    KillSwitchRecord record;
    record.protocol = trimmedEnd(lines[0]);
    // A port that does not fit in 32 bits is no port, rather than some other one.
    record.port = bridge::parseDecimalInteger<std::int32_t>(trimmedEnd(lines[1]), bridge::AfterDigits::Ignore, bridge::OutOfRange::Zero);
    record.addresses = trimmedEnd(lines[2]);
    return record;
}

KillSwitchRecord readKillSwitchFile(const platform::PathText& file) {
    const auto bytes = platform::readWholeFile(file);
    return bytes ? parseKillSwitchRecord(*bytes) : KillSwitchRecord{};
}

}  // namespace varnel::killswitch
