#pragma once
// Starting the detached threads that worker methods run on.

#include <functional>
#include <memory>

namespace varnel::platform {

class ThreadLauncher {
public:
    virtual ~ThreadLauncher() = default;
    // Runs body on a new thread that nobody joins. False when the system cannot start a thread; the
    // body is then destroyed without running.
    virtual bool startDetached(std::function<void()> body) = 0;
};

std::shared_ptr<ThreadLauncher> systemThreadLauncher();

}  // namespace varnel::platform
