#include "tunnel/management_client.h"

#include <array>
#include <string>
#include <utility>

#include "tunnel/tunnel_state.h"

namespace varnel::tunnel {

platform::Socket ManagementConnect(std::uint16_t port) { return platform::connectLoopback(port); }

bool ManagementLogin(const platform::Socket& socket, std::string_view password) {
    // One byte at a time: the prompt ends without a line feed, and what follows the answer belongs to
    // whoever reads the connection next. Both texts are short; a peer that says more is not OpenVPN.
    auto readUntil = [&socket](std::string_view end, std::string& text) {
        while (text.size() < 256) {
            if (platform::waitReadable(socket, 1000) != platform::WaitResult::Readable) return false;
            char byte;
            if (platform::receiveSome(socket, &byte, 1) != 1) return false;
            text.push_back(byte);
            if (text.ends_with(end)) return true;
        }
        return false;
    };
    std::string prompt, answer;
    if (!socket.valid() || !readUntil("ENTER PASSWORD:", prompt)) return false;
    platform::sendOnce(socket, std::string(password) + "\n");
    return readUntil("\n", answer) && answer.starts_with("SUCCESS:");
}

void ManagementSend(const platform::Socket& socket, std::string_view command) {
    if (!socket.valid()) return;
    platform::sendOnce(socket, std::string(command) + "\r\n");
}

const char* MapOpenVpnState(std::string_view name) {
    static const std::array<std::pair<std::string_view, const char*>, 10> kTable = {{
        {"CONNECTED", kStatusConnected},
        {"CONNECTING", kStatusConnecting},
        {"WAIT", kStatusConnecting},
        {"AUTH", kStatusConnecting},
        {"GET_CONFIG", kStatusConnecting},
        {"ASSIGN_IP", kStatusConnecting},
        {"ADD_ROUTES", kStatusConnecting},
        {"RECONNECTING", kStatusConnecting},
        {"DISCONNECTED", kStatusDisconnected},
        {"EXITING", kStatusDisconnected},
    }};
    for (const auto& [state, word] : kTable)
        if (state == name) return word;
    return nullptr;
}

namespace {

// The second comma-separated field of fields, without trailing CRs and LFs.
std::optional<std::string_view> secondField(std::string_view fields) {
    const std::size_t comma = fields.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    std::string_view name = fields.substr(comma + 1);
    name = name.substr(0, name.find(','));
    while (!name.empty() && (name.back() == '\r' || name.back() == '\n')) name.remove_suffix(1);
    return name;
}

}  // namespace

std::optional<std::string_view> stateNameOfReport(std::string_view line) {
    constexpr std::string_view kPrefix = ">STATE:";
    if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    return secondField(line.substr(kPrefix.size()));
}

std::optional<std::string_view> stateNameOfReply(std::string_view line) {
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits == 0 || digits == line.size() || line[digits] != ',') return std::nullopt;
    return secondField(line);
}

void StateLineParser(TunnelControl& tunnel, std::string_view line) {
    const auto name = stateNameOfReport(line);
    const char* word = name ? MapOpenVpnState(*name) : nullptr;
    if (word == nullptr) return;
    std::lock_guard lock(tunnel.lock);
    tunnel.state.status = word;
    if (word == kStatusConnected) tunnel.state.message.clear();
}

}  // namespace varnel::tunnel
