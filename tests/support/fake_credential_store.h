#pragma once
// An in-memory credential store, so that no test touches the user's secrets.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/credential_store.h"

namespace varnel::test {

class FakeCredentialStore final : public platform::CredentialStore {
public:
    unsigned long write(std::string_view target, std::string_view value) override {
        std::lock_guard lock(mutex_);
        if (writeError_ == 0) items_.insert_or_assign(std::string(target), std::string(value));
        return writeError_;
    }
    std::optional<std::string> read(std::string_view target) override {
        std::lock_guard lock(mutex_);
        const auto it = items_.find(std::string(target));
        return it == items_.end() ? std::nullopt : std::optional(it->second);
    }
    void remove(std::string_view target) override {
        std::lock_guard lock(mutex_);
        items_.erase(std::string(target));
    }

    // Later writes fail with this code, changing nothing; 0 makes them work again.
    void failWritesWith(unsigned long code) {
        std::lock_guard lock(mutex_);
        writeError_ = code;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> items_;
    unsigned long writeError_ = 0;
};

}  // namespace varnel::test
