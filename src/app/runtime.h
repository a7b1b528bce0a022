#pragma once
// Everything process-wide, in one object. Production makes exactly one; each test makes its own, with
// fakes where it needs them. Workers hold it by shared_ptr so that none outlives its state.

#include <memory>

#include "bridge/event_forwarders.h"
#include "platform/credential_store.h"
#include "platform/files.h"
#include "platform/thread.h"
#include "storage/data_folder.h"

namespace varnel {

struct Runtime {
    std::shared_ptr<platform::ThreadLauncher> threads = platform::systemThreadLauncher();
    EventForwarders events;
    storage::DataFolder dataFolder{platform::localDataFolder()};
    std::shared_ptr<platform::CredentialStore> credentials = platform::systemCredentialStore();
};

}  // namespace varnel
