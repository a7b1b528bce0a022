#pragma once
// Writes whole lines to a stream from any thread, in the order they were handed over. A thread of
// its own does the writing, so no caller waits on the stream while holding anything.
// mutex_ guards queue_, queuedBytes_ and closing_.

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace varnel {

class LineOutput {
public:
    explicit LineOutput(std::FILE* stream);
    ~LineOutput();
    LineOutput(const LineOutput&) = delete;
    LineOutput& operator=(const LineOutput&) = delete;

    // At most this much waits unwritten: a reader that does not read slows the writers down, as a
    // full pipe would, instead of the queue growing without end.
    static constexpr std::size_t kMaxQueuedBytes = 16 * 1024 * 1024;

    // Queues line and a line feed; waits while kMaxQueuedBytes are already waiting.
    void write(std::string line);
    // Writes what is queued, then stops the writer thread. Lines written later are dropped.
    void close();

private:
    void run();

    std::FILE* stream_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<std::string> queue_;
    std::size_t queuedBytes_ = 0;
    bool closing_ = false;
    std::thread writer_;
};

}  // namespace varnel
