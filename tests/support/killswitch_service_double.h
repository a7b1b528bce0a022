#pragma once
// A kill-switch service on a real pipe (Windows) or Unix socket (Linux): one client at a time, its first
// line recorded and answered; an empty reply closes without one, mute holds the client until it gives up.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnel::test {

class KillSwitchServiceDouble {
public:
    explicit KillSwitchServiceDouble(std::string reply = "OK\n");
    ~KillSwitchServiceDouble();
    KillSwitchServiceDouble(const KillSwitchServiceDouble&) = delete;
    KillSwitchServiceDouble& operator=(const KillSwitchServiceDouble&) = delete;

    // The name a client opens (UTF-8): a pipe name or a socket path.
    const std::string& channel() const;
    // What each client sent, up to and including its first line feed, recorded before the answer.
    std::vector<std::string> received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    void setReply(std::string reply) {
        std::lock_guard lock(mutex_);
        reply_ = std::move(reply);
    }
    void setMute(bool mute) {
        std::lock_guard lock(mutex_);
        mute_ = mute;
    }

private:
    struct Impl;
    // Server thread: the answer, if any; hold: keep the connection until the client closes, so no answer is cut short.
    std::optional<std::string> take(const std::string& line, bool& hold) {
        std::lock_guard lock(mutex_);
        if (!line.empty()) received_.push_back(line);
        const bool answer = !reply_.empty() && !mute_ && !line.empty() && line.back() == '\n';
        hold = answer || mute_;
        return answer ? std::optional(reply_) : std::nullopt;
    }

    mutable std::mutex mutex_;  // the server thread's and the test's
    std::vector<std::string> received_;
    std::string reply_;
    bool mute_ = false;
    std::unique_ptr<Impl> impl_;
};

// A channel name on which no service listens.
std::string absentKillSwitchChannel();

}  // namespace varnel::test
