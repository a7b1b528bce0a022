#include "service/ruleset.h"

namespace varnel::service {

namespace {

const std::string kTable = std::string(kTableFamily) + " " + kTableName;

// Base chains at the filter priority: a packet must pass every base chain on its hook, so a drop
// here holds whatever other tables accept.
const char* const kChains[][2] = {
    {"output", "output"},
    {"input", "input"},
    {"forward", "forward"},
};

std::string transportName(Transport transport) {
    switch (transport) {
        case Transport::Udp: return "udp";
        case Transport::Tcp: return "tcp";
        case Transport::Any: break;
    }
    return "any protocol";
}

// The match after "ip daddr A": protocol and port, or nothing when every protocol or port goes.
std::string serverMatch(Transport transport, unsigned port) {
    if (transport == Transport::Any)
        return port == 0 ? std::string() : " meta l4proto { tcp, udp } th dport " + std::to_string(port);
    const std::string protocol = transportName(transport);
    return port == 0 ? " meta l4proto " + protocol : " " + protocol + " dport " + std::to_string(port);
}

void addRule(std::string& script, const char* chain, const std::string& match, const std::string& comment) {
    script += "add rule " + kTable + " " + chain + " " + match + " accept comment \"" + comment + "\"\n";
}

}  // namespace

std::string serverComment(const std::string& address, Transport transport, unsigned port) {
    std::string comment = "server " + address + " " + transportName(transport);
    comment += port == 0 ? std::string(" every port") : " port " + std::to_string(port);
    return comment;
}

std::string enableScript(const EnableCommand& command) {
    std::string script = "add table " + kTable + "\n";
    for (const auto& [chain, hook] : kChains)
        script += "add chain " + kTable + " " + chain + " { type filter hook " + hook + " priority 0; policy drop; }\n";
    for (const auto& [chain, hook] : kChains) script += "flush chain " + kTable + " " + chain + "\n";

    // Nothing on output matches established connections: one opened before the block must not
    // go on outside the tunnel. IPv6 has no rule but loopback and the tunnel, so the policy drops it.
    addRule(script, "output", "oifname \"lo\"", "loopback");
    addRule(script, "output", "oifname \"tun*\"", "tunnel interfaces tun*");
    addRule(script, "output", "meta nfproto ipv4 udp sport 68 udp dport 67", "DHCP");
    for (const std::string& address : command.addresses)
        addRule(script, "output", "ip daddr " + address + serverMatch(command.transport, command.port),
                serverComment(address, command.transport, command.port));

    addRule(script, "input", "iifname \"lo\"", "loopback");
    addRule(script, "input", "iifname \"tun*\"", "tunnel interfaces tun*");
    addRule(script, "input", "meta nfproto ipv4 udp sport 67 udp dport 68", "DHCP");
    addRule(script, "input", "meta nfproto ipv4 ct state established,related", "IPv4 replies");

    addRule(script, "forward", "iifname \"tun*\"", "from the tunnel");
    addRule(script, "forward", "oifname \"tun*\"", "into the tunnel");
    return script;
}

std::string disableScript() {
    return "add table " + kTable + "\ndelete table " + kTable + "\n";
}

std::string listTablesScript() {
    return std::string("list tables ") + kTableFamily + "\n";
}

std::string listTableScript() {
    return "list table " + kTable + "\n";
}

}  // namespace varnel::service
