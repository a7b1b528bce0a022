#pragma once
// Whether the build's real secret store can be used here. The Linux one needs a session bus with an
// unlocked keyring, which scripts/test provides; a bare ctest run has none.

#include <string>

#include "platform/credential_store.h"
#include "support/environment.h"

namespace varnel::test {

// Empty when the store takes a write; else why not.
inline std::string secretStoreUnavailableReason() {
    static const std::string reason = [] {
        if (std::string bus = sessionBusNeededButMissing(); !bus.empty()) return bus;
        auto store = platform::systemCredentialStore();
        if (const unsigned long code = store->write("varnel-test-probe/probe", "probe"); code != 0)
            return "the secret store refused a write (code " + std::to_string(code) + ")";
        store->remove("varnel-test-probe/probe");
        return std::string();
    }();
    return reason;
}

}  // namespace varnel::test
