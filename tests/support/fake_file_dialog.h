#pragma once
// A file dialog that answers with a set path (or a cancel) and records each request with its thread.

#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/file_dialog.h"

namespace varnel::test {

class FakeFileDialog final : public platform::FileDialog {
public:
    explicit FakeFileDialog(std::optional<platform::PathText> answer) : answer_(std::move(answer)) {}

    std::optional<platform::PathText> chooseFileToOpen(const platform::OpenFileRequest& request) override {
        std::lock_guard lock(mutex_);
        requests_.emplace_back(request, std::this_thread::get_id());
        return answer_;
    }
    std::vector<std::pair<platform::OpenFileRequest, std::thread::id>> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    std::mutex mutex_;
    const std::optional<platform::PathText> answer_;
    std::vector<std::pair<platform::OpenFileRequest, std::thread::id>> requests_;
};

}  // namespace varnel::test
