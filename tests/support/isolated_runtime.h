#pragma once
// A runtime that touches nothing of the user's: its data folder lies in a temporary folder of its own,
// removed with the runtime, its secret store is in memory, and its file dialog is cancelled at once
// (a real one would wait for a user), and no kill-switch service answers unless a test starts one.

#include <memory>

#include "app/runtime.h"
#include "support/fake_credential_store.h"
#include "support/fake_file_dialog.h"
#include "support/killswitch_service_double.h"
#include "support/temp_dir.h"

namespace varnel::test {

struct IsolatedRuntime : Runtime {
    IsolatedRuntime() {
        dataFolder = storage::DataFolder(temp.path().native());
        credentials = secrets;
        fileDialog = std::make_shared<FakeFileDialog>(std::nullopt);
        killSwitchChannel = absentKillSwitchChannel();
    }
    TempDir temp;
    std::shared_ptr<FakeCredentialStore> secrets = std::make_shared<FakeCredentialStore>();
};

inline std::shared_ptr<IsolatedRuntime> makeIsolatedRuntime() { return std::make_shared<IsolatedRuntime>(); }

}  // namespace varnel::test
