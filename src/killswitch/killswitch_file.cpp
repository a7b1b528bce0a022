#include "killswitch/killswitch_file.h"

#include <limits>

#include "platform/files.h"

namespace varnel::killswitch {

namespace {

// Hand edits may leave CR LF ends or trailing blanks; none of them belongs to a value.
std::string trimmedEnd(std::string_view text) {
    const std::size_t end = text.find_last_not_of("\r\n ");
    return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

// A base-10 number after optional blanks and a sign, up to the first other character; 0 when there
// is none or it does not fit in 32 bits.
std::int32_t portValue(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t\v\f\r\n");
    if (i == std::string_view::npos) return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return 0;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min()) return 0;
    return static_cast<std::int32_t>(value);
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
    record.port = portValue(trimmedEnd(lines[1]));
    record.addresses = trimmedEnd(lines[2]);
    return record;
}

KillSwitchRecord readKillSwitchFile(const platform::PathText& file) {
    const auto bytes = platform::readWholeFile(file);
    return bytes ? parseKillSwitchRecord(*bytes) : KillSwitchRecord{};
}

}  // namespace varnel::killswitch
