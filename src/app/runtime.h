#pragma once
// Everything process-wide, in one object. Production makes exactly one; each test makes its own, with
// fakes where it needs them. Workers hold it by shared_ptr so that none outlives its state.

#include <memory>

#include "bridge/event_forwarders.h"
#include "platform/thread.h"

namespace varnel {

struct Runtime {
    std::shared_ptr<platform::ThreadLauncher> threads = platform::systemThreadLauncher();
    EventForwarders events;
};

}  // namespace varnel
