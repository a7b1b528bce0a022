#include "service/serve.h"

#include <algorithm>

#include "service/command.h"
#include "service/ruleset.h"

namespace varnel::service {

namespace {

std::string reply(std::string text) {
    if (text.size() > kReplyMax - 1) text.resize(kReplyMax - 1);
    return text + "\n";
}

Outcome refused(const std::string& reason, std::size_t bytes) {
    return {reply("ERROR: " + reason), "refused (" + reason + "), " + std::to_string(bytes) + " bytes"};
}

// nft's first line is enough to say why; the rest repeats the script with markers.
std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

Outcome applyScript(Firewall& firewall, const std::string& script, const std::string& what) {
    std::string output, error;
    if (!firewall.run(script, output, error))
        return {reply("ERROR: nftables refused the rules"), what + " failed: " + firstLine(error)};
    return {reply("OK"), what};
}

}  // namespace

bool peerMayCommand(const platform::PeerCredentials& peer, std::uint32_t allowedGroup) {
    return peer.uid == 0 || peer.gid == allowedGroup ||
           std::find(peer.groups.begin(), peer.groups.end(), allowedGroup) != peer.groups.end();
}

Outcome refusePeer(const platform::PeerCredentials& peer) {
    return {reply("ERROR: not allowed"), "refused a client of uid " + std::to_string(peer.uid) + " (pid " +
                                             std::to_string(peer.pid) + "): not root and not in the group"};
}

Outcome handleRequest(const platform::ReceivedLine& request, Firewall& firewall) {
    const std::size_t size = request.bytes.size();
    switch (request.end) {
        case platform::LineEnd::TimedOut: return refused("no complete line in time", size);
        case platform::LineEnd::TooLong: return refused("line too long", size);
        case platform::LineEnd::Closed: return refused("line not ended", size);
        case platform::LineEnd::Line: break;
    }
    const Command command = parseCommand(request.bytes);
    if (const auto* error = std::get_if<CommandError>(&command)) return refused(error->reason, size);
    if (std::holds_alternative<DisableCommand>(command)) return applyScript(firewall, disableScript(), "DISABLE");
    const auto& enable = std::get<EnableCommand>(command);
    // The line passed the parser, so it holds no control bytes and may be logged as it came.
    std::string line = request.bytes;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return applyScript(firewall, enableScript(enable), line);
}

bool readRuleset(Firewall& firewall, RulesetSummary& summary, std::string& error) {
    std::string tables;
    if (!firewall.run(listTablesScript(), tables, error)) return false;
    const std::string ours = std::string("table ") + kTableFamily + " " + kTableName;
    bool present = false;
    for (std::size_t at = 0; at < tables.size();) {
        const std::size_t end = std::min(tables.find('\n', at), tables.size());
        present = present || tables.compare(at, end - at, ours) == 0;
        at = end + 1;
    }
    std::string listing;
    if (present && !firewall.run(listTableScript(), listing, error)) return false;
    summary = summarizeListing(listing);
    return true;
}

}  // namespace varnel::service
