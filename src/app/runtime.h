#pragma once
// Everything process-wide, in one object. Production makes exactly one; each test makes its own, with
// fakes where it needs them. Workers hold it by shared_ptr so that none outlives its state.

#include <cstdint>
#include <memory>

#include "bridge/event_forwarders.h"
#include "platform/credential_store.h"
#include "platform/files.h"
#include "platform/thread.h"
#include "platform/process.h"
#include "storage/data_folder.h"
#include "tunnel/tunnel_state.h"

namespace varnel {

struct Runtime {
    std::shared_ptr<platform::ThreadLauncher> threads = platform::systemThreadLauncher();
    EventForwarders events;
    storage::DataFolder dataFolder{platform::localDataFolder()};
    std::shared_ptr<platform::CredentialStore> credentials = platform::systemCredentialStore();

    // OpenVPN's management interface on 127.0.0.1; tests use ports of their own.
    std::uint16_t managementPort = 11940;
    TunnelControl tunnel;
    std::shared_ptr<platform::ProcessLauncher> launcher = platform::systemProcessLauncher();
};

}  // namespace varnel
