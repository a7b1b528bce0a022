#include "service/status.h"

#include <algorithm>

#include "service/ruleset.h"

namespace varnel::service {

namespace {

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The word after key in a line such as "type filter hook output priority filter; policy drop;".
std::string wordAfter(std::string_view line, std::string_view key) {
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) return {};
    std::string_view rest = line.substr(at + key.size());
    return std::string(rest.substr(0, rest.find_first_of(" ;")));
}

std::string whatRuleAllows(std::string_view rule) {
    constexpr std::string_view kComment = " comment \"";
    const std::size_t at = rule.rfind(kComment);
    if (at != std::string_view::npos && rule.back() == '"') {
        const std::string_view comment = rule.substr(at + kComment.size());
        return std::string(comment.substr(0, comment.size() - 1));
    }
    return std::string(rule);
}

}  // namespace

bool RulesetSummary::blocking() const {
    return std::any_of(chains.begin(), chains.end(),
                       [](const ChainSummary& c) { return c.hook == "output" && c.policy == "drop"; });
}

RulesetSummary summarizeListing(std::string_view tableListing) {
    RulesetSummary summary;
    ChainSummary* chain = nullptr;
    while (!tableListing.empty()) {
        const std::size_t end = tableListing.find('\n');
        const std::string_view line = trim(tableListing.substr(0, end));
        tableListing.remove_prefix(end == std::string_view::npos ? tableListing.size() : end + 1);

        if (line.starts_with("table ")) {
            summary.tablePresent = true;
        } else if (line.starts_with("chain ") && line.ends_with("{")) {
            chain = &summary.chains.emplace_back();
            chain->name = trim(line.substr(6, line.size() - 7));
        } else if (line == "}") {
            chain = nullptr;
        } else if (chain && line.starts_with("type ")) {
            chain->hook = wordAfter(line, " hook ");
            chain->policy = wordAfter(line, "policy ");
        } else if (chain && !line.empty()) {
            chain->allows.push_back(whatRuleAllows(line));
        }
    }
    return summary;
}

std::string describeRuleset(const RulesetSummary& summary) {
    const std::string table = std::string("table ") + kTableFamily + " " + kTableName;
    if (!summary.tablePresent) return "Kill switch block: off (no " + table + ")\n";
    std::string text = summary.blocking() ? "Kill switch block: on\n"
                                          : "Kill switch block: off (" + table + " has no output chain that drops)\n";
    for (const ChainSummary& chain : summary.chains) {
        text += "  " + chain.name;
        if (!chain.hook.empty()) text += " (hook " + chain.hook + ", policy " + chain.policy + ")";
        text += " allows:";
        if (chain.allows.empty()) text += " nothing";
        for (std::size_t i = 0; i < chain.allows.size(); ++i) text += (i == 0 ? " " : "; ") + chain.allows[i];
        text += "\n";
    }
    return text;
}

}  // namespace varnel::service
