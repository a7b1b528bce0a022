#include "app/line_output.h"

namespace varnel {

LineOutput::LineOutput(std::FILE* stream) : stream_(stream), writer_([this] { run(); }) {}

LineOutput::~LineOutput() { close(); }

void LineOutput::write(std::string line) {
    line += '\n';
    {
        std::unique_lock lock(mutex_);
        drained_.wait(lock, [this] { return closing_ || queuedBytes_ < kMaxQueuedBytes; });
        if (closing_) return;
        queuedBytes_ += line.size();
        queue_.push_back(std::move(line));
    }
    wake_.notify_one();
}

void LineOutput::close() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    drained_.notify_all();
    if (writer_.joinable()) writer_.join();
}

void LineOutput::run() {
    for (;;) {
        std::deque<std::string> batch;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;  // closing, and everything has been written
            batch.swap(queue_);
        }
        std::size_t written = 0;
        for (const std::string& line : batch) {
            std::fwrite(line.data(), 1, line.size(), stream_);
            written += line.size();
        }
        std::fflush(stream_);
        {
            std::lock_guard lock(mutex_);
            queuedBytes_ -= written;
        }
        drained_.notify_all();
    }
}

}  // namespace varnel
