#pragma once
// A file dialog that answers with a path set by the test (or a cancel) and records what it was
// asked and on which thread.

#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/file_dialog.h"

namespace varnel::test {

// Called on picker workers, read by the test thread; mutex guards every member.
class FakeFileDialog final : public platform::FileDialog {
public:
    explicit FakeFileDialog(std::optional<platform::PathText> answer) : answer_(std::move(answer)) {}

    std::optional<platform::PathText> chooseFileToOpen(const platform::OpenFileRequest& request) override {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        threads_.push_back(std::this_thread::get_id());
        return answer_;
    }

    std::vector<platform::OpenFileRequest> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<std::thread::id> threads() {
        std::lock_guard lock(mutex_);
        return threads_;
    }

private:
    std::mutex mutex_;
    std::optional<platform::PathText> answer_;
    std::vector<platform::OpenFileRequest> requests_;
    std::vector<std::thread::id> threads_;
};

}  // namespace varnel::test
