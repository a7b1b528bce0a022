#pragma once
// A firewall that records the scripts it is given and answers list commands from a stored table.

#include <string>
#include <vector>

#include "service/serve.h"

namespace varnel::service {

class FakeFirewall : public Firewall {
public:
    bool run(const std::string& script, std::string& output, std::string& error) override {
        scripts.push_back(script);
        if (!refusal.empty()) {
            error = refusal;
            return false;
        }
        if (script.starts_with("list tables")) output = tables;
        if (script.starts_with("list table ")) output = table;
        return true;
    }

    std::vector<std::string> scripts;
    std::string tables;
    std::string table;
    std::string refusal;  // when set, every script is refused with it
};

}  // namespace varnel::service
