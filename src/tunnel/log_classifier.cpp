#include "tunnel/log_classifier.h"

#include <array>

namespace varnel::tunnel {

namespace {

constexpr const char* kAdapterMessage = "No network adapter available. Reinstall the VPN (TAP) driver and retry.";

struct Rule {
    std::vector<std::string_view> anyOf;  // the rule hits when the line holds any of these
    std::string_view alsoNeeds;           // and, when set, this as well
    const char* message;                  // nullptr: "VPN configuration error: " and the line
    std::string_view unless = {};         // a line holding this is not the rule's case
};

// Tested in this order on each line; the first line with a hit decides, and within it the first rule.
const std::array<Rule, 8> kRules = {{
    {{"auth_failed", "authentication failed"}, {}, "Authentication failed - check your username and password."},
    {{"there are no tap-windows adapters", "all tap-windows adapters on this system are currently in use"}, {}, kAdapterMessage},
    {{"wintun"}, "system privileges", kAdapterMessage},
    {{"cannot resolve host", "could not determine ipv4/ipv6 protocol"}, {}, "Could not resolve the VPN server address. Check your internet connection."},
    // OpenVPN's own netlink calls ("sitnl_...") fail harmlessly where the machine has no IPv6 route:
    // those lines say nothing about the server.
    {{"connection refused", "connection timed out", "no route to host", "network is unreachable"}, {}, "Could not reach the VPN server. It may be offline or blocked.", "sitnl_"},
    {{"server poll timeout", "connect-retry-max", "unsuccessful, exiting"}, {}, "No response from the VPN server. Check the server address, protocol (UDP/TCP) and port."},
    {{"tls error", "tls handshake failed", "tls key negotiation failed"}, {}, "Secure handshake with the VPN server failed (TLS error)."},
    {{"options error"}, {}, nullptr},
}};

// Lower case as the C library's tolower does in the "C" locale: A to Z only.
std::string asciiLower(std::string_view line) {
    std::string lower(line);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool hits(const Rule& rule, std::string_view lower) {
    if (!rule.unless.empty() && contains(lower, rule.unless)) return false;
    for (std::string_view part : rule.anyOf)
        if (contains(lower, part)) return rule.alsoNeeds.empty() || contains(lower, rule.alsoNeeds);
    return false;
}

// The log's lines without trailing CRs and LFs, empty ones dropped.
std::vector<std::string_view> logLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::string classifyLogText(std::string_view text) {
    const std::vector<std::string_view> lines = logLines(text);
    if (lines.empty()) return {};
    for (std::string_view line : lines) {
        const std::string lower = asciiLower(line);
        for (const Rule& rule : kRules)
            if (hits(rule, lower)) return rule.message ? std::string(rule.message) : "VPN configuration error: " + std::string(line);
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const std::string lower = asciiLower(*it);
        if (contains(lower, "error") || contains(lower, "fatal") || contains(lower, "exiting")) return std::string(*it);
    }
    return std::string(lines.back());
}

std::string ClassifyOpenVpnLog(const platform::PathText& logPath) {
    const auto text = platform::readWholeFile(logPath);
    return text ? classifyLogText(*text) : std::string();
}

}  // namespace varnel::tunnel
