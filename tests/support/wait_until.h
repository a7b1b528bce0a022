#pragma once
// Waits for another thread or process, looking every 10 ms; bounded so that a test fails rather than hangs.

#include <chrono>
#include <thread>

namespace varnel::test {

template <class Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !condition();) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace varnel::test
