#include "support/secret_store_probe.h"

#include "platform/credential_store.h"
#include "support/environment.h"

namespace varnel::test {

std::string secretStoreUnavailableReason() {
    static const std::string reason = [] {
        if (!sessionBusNeededButMissing().empty()) return sessionBusNeededButMissing();
        auto store = platform::systemCredentialStore();
        const std::string probe = "varnel-test-probe/probe";
        if (const unsigned long code = store->write(probe, "probe"); code != 0)
            return "the secret store refused a write (code " + std::to_string(code) + ")";
        store->remove(probe);
        return std::string();
    }();
    return reason;
}

}  // namespace varnel::test
