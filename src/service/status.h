#pragma once
// What a found ruleset means for the kill switch: read back from nft's listing of our table, so
// that --status and a restarted service report what is really in force, not what they remember.

#include <string>
#include <string_view>
#include <vector>

namespace varnel::service {

struct ChainSummary {
    std::string name;
    std::string hook;
    std::string policy;
    std::vector<std::string> allows;  // each rule's comment, or the rule itself when it has none
};

struct RulesetSummary {
    bool tablePresent = false;
    std::vector<ChainSummary> chains;

    // Blocking means an output chain on the output hook that drops what no rule lets through.
    bool blocking() const;
};

// tableListing is the output of listing our table; empty when the table is not there.
RulesetSummary summarizeListing(std::string_view tableListing);
// Lines for a person: whether the block is on and what each chain lets through.
std::string describeRuleset(const RulesetSummary& summary);

}  // namespace varnel::service
