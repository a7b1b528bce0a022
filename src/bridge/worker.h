#pragma once
// The worker pattern of the methods that answer later: the body runs on a detached thread that holds
// its own copy of the promise, so the promise outlives the call; a body that ends without settling
// leaves the last copy to reject it with "Promise destroyed.".

#include <string>
#include <string_view>
#include <utility>

#include "bridge/promise.h"
#include "bridge/rejection.h"
#include "platform/thread.h"

namespace varnel::bridge {

// body is called as body(promise) on the new thread.
template <class T, class Body>
void startWorker(platform::ThreadLauncher& threads, std::string_view methodName, const Promise<T>& promise, Body body) {
    const bool started = threads.startDetached([promise, body = std::move(body)]() mutable {
        rejectOnException(promise, [&] { body(promise); });
    });
    if (!started) promise.reject("Could not start a thread for " + std::string(methodName) + ".");
}

}  // namespace varnel::bridge
