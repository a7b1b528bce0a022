#include "support/killswitch_service_double.h"

namespace varnel::test {

std::optional<std::string> KillSwitchServiceDouble::take(const std::string& line, bool& hold) {
    std::lock_guard lock(mutex_);
    if (!line.empty()) received_.push_back(line);
    const bool answer = !reply_.empty() && !mute_ && !line.empty() && line.back() == '\n';
    hold = answer || mute_;
    return answer ? std::optional(reply_) : std::nullopt;
}

std::vector<std::string> KillSwitchServiceDouble::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void KillSwitchServiceDouble::setReply(std::string reply) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
}

void KillSwitchServiceDouble::setMute(bool mute) {
    std::lock_guard lock(mutex_);
    mute_ = mute;
}

}  // namespace varnel::test
