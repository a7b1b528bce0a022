#pragma once
// nftables through libnftables: one script, one transaction. Linux only; built only into the
// kill-switch service.

#include <string>

namespace varnel::platform {

struct NftResult {
    bool ok = false;
    std::string output;  // what a list command printed
    std::string error;   // nft's messages when it refused
};

// Runs the script as `nft -f` would: every command in it succeeds together or none does.
NftResult runNftScript(const std::string& script);

}  // namespace varnel::platform
