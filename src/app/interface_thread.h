#pragma once
// The interface thread of a host whose requests arrive on another thread (the desktop window's):
// it runs the posted tasks one at a time, in the order they were posted, so that module methods run
// in arrival order and may block without stalling the window. mutex_ guards queue_ and stopping_.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace varnel {

class InterfaceThread {
public:
    InterfaceThread();
    // Runs what is queued, then ends the thread.
    ~InterfaceThread();
    InterfaceThread(const InterfaceThread&) = delete;
    InterfaceThread& operator=(const InterfaceThread&) = delete;

    // Any thread.
    void post(std::function<void()> task);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace varnel
