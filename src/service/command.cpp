#include "service/command.h"

#include <algorithm>
#include <array>

namespace varnel::service {

namespace {

struct ProtocolName {
    std::string_view name;
    Transport transport;
};

constexpr std::array kProtocols = {
    ProtocolName{"any", Transport::Any},          ProtocolName{"udp", Transport::Udp},
    ProtocolName{"udp4", Transport::Udp},         ProtocolName{"udp6", Transport::Udp},
    ProtocolName{"tcp", Transport::Tcp},          ProtocolName{"tcp4", Transport::Tcp},
    ProtocolName{"tcp6", Transport::Tcp},         ProtocolName{"tcp-client", Transport::Tcp},
    ProtocolName{"tcp-server", Transport::Tcp},   ProtocolName{"tcp4-client", Transport::Tcp},
    ProtocolName{"tcp4-server", Transport::Tcp},  ProtocolName{"tcp6-client", Transport::Tcp},
    ProtocolName{"tcp6-server", Transport::Tcp},
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A control byte anywhere would let a line smuggle something into the log or the rules' comments.
bool isPrintable(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// A signed decimal that must land in 0..65535: "-0" is 0, any other minus is out of range.
bool parsePort(std::string_view text, std::uint16_t& port) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit)) return false;
    std::uint32_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 65535) return false;
    }
    if (negative && value != 0) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool parseAddresses(std::string_view text, std::vector<std::string>& addresses) {
    if (text == "none") return true;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        if (!isDottedIpv4(item)) return false;
        if (std::find(addresses.begin(), addresses.end(), item) == addresses.end()) addresses.emplace_back(item);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

// Splits off the text up to the next single space; false when there is none.
bool nextField(std::string_view& rest, std::string_view& field) {
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos) return false;
    field = rest.substr(0, space);
    rest.remove_prefix(space + 1);
    return true;
}

Command parseEnable(std::string_view rest) {
    std::string_view protocol, port, flag, addresses;
    if (!nextField(rest, protocol) || !nextField(rest, port) || !nextField(rest, flag) || !nextField(rest, addresses))
        return CommandError{"ENABLE needs protocol, port, flag, addresses and program"};
    EnableCommand command;
    if (!transportOfProtocol(protocol, command.transport)) return CommandError{"unknown protocol"};
    command.protocol = protocol;
    if (!parsePort(port, command.port)) return CommandError{"port not in 0..65535"};
    if (flag != "0" && flag != "1") return CommandError{"flag not 0 or 1"};
    command.sessionWanted = flag == "1";
    if (!parseAddresses(addresses, command.addresses)) return CommandError{"addresses not IPv4 or none"};
    if (rest.empty()) return CommandError{"program missing"};
    command.program = rest;
    return command;
}

}  // namespace

bool transportOfProtocol(std::string_view protocol, Transport& transport) {
    for (const ProtocolName& known : kProtocols) {
        if (known.name == protocol) {
            transport = known.transport;
            return true;
        }
    }
    return false;
}

bool isDottedIpv4(std::string_view text) {
    int parts = 0;
    for (;;) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), isDigit)) return false;
        if (part.size() > 1 && part.front() == '0') return false;
        int value = 0;
        for (const char c : part) value = value * 10 + (c - '0');
        if (value > 255) return false;
        ++parts;
        if (dot == std::string_view::npos) return parts == 4;
        if (parts == 4) return false;
        text.remove_prefix(dot + 1);
    }
}

Command parseCommand(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!isPrintable(line)) return CommandError{"control bytes in the line"};
    if (line == "DISABLE") return DisableCommand{};
    constexpr std::string_view kEnable = "ENABLE ";
    if (line.substr(0, kEnable.size()) == kEnable) return parseEnable(line.substr(kEnable.size()));
    return CommandError{"unknown command"};
}

}  // namespace varnel::service
