#pragma once
// A runtime that touches nothing of the user's: its data folder lies in a temporary folder of its own,
// removed with the runtime, and its secret store is in memory.

#include <memory>

#include "app/runtime.h"
#include "support/fake_credential_store.h"
#include "support/temp_dir.h"

namespace varnel::test {

struct IsolatedRuntime : Runtime {
    IsolatedRuntime() {
        dataFolder = storage::DataFolder(temp.path().native());
        credentials = secrets;
    }
    TempDir temp;
    std::shared_ptr<FakeCredentialStore> secrets = std::make_shared<FakeCredentialStore>();
};

inline std::shared_ptr<IsolatedRuntime> makeIsolatedRuntime() { return std::make_shared<IsolatedRuntime>(); }

}  // namespace varnel::test
