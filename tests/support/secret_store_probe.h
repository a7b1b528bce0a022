#pragma once
// Whether the build's real secret store can be used here. The Linux one needs a session bus with an
// unlocked keyring, which scripts/test provides; a bare ctest run has none.

#include <string>

namespace varnel::test {

// Empty when the store takes a write; else why not.
std::string secretStoreUnavailableReason();

inline bool secretStoreReachable() { return secretStoreUnavailableReason().empty(); }

}  // namespace varnel::test
