#pragma once
// A launcher that starts nothing: it records each launch and answers with a set error.

#include <mutex>
#include <string>
#include <vector>

#include "platform/process.h"

namespace varnel::test {

class FakeProcessLauncher final : public platform::ProcessLauncher {
public:
    struct Launch {
        platform::PathText program;
        std::string parameters;
    };

    platform::LaunchResult launchElevated(const platform::PathText& program, const std::string& parameters) override {
        std::lock_guard lock(mutex_);
        launches_.push_back({program, parameters});
        return {platform::ProcessHandle(), error};
    }
    std::vector<Launch> launches() {
        std::lock_guard lock(mutex_);
        return launches_;
    }

    std::uint32_t error = 2;  // ERROR_FILE_NOT_FOUND unless a test sets another, before the launch

private:
    std::mutex mutex_;
    std::vector<Launch> launches_;
};

}  // namespace varnel::test
