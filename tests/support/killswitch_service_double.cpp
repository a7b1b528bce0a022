#include "support/killswitch_service_double.h"

namespace varnel::test {

std::optional<std::string> KillSwitchServiceDouble::Journal::take(const std::string& line, bool& hold) {
    std::lock_guard lock(mutex);
    if (!line.empty()) received.push_back(line);
    const bool answer = !reply.empty() && !mute && !line.empty() && line.back() == '\n';
    hold = answer || mute;
    return answer ? std::optional(reply) : std::nullopt;
}

std::vector<std::string> KillSwitchServiceDouble::received() const {
    std::lock_guard lock(journal_.mutex);
    return journal_.received;
}

void KillSwitchServiceDouble::setReply(std::string reply) {
    std::lock_guard lock(journal_.mutex);
    journal_.reply = std::move(reply);
}

void KillSwitchServiceDouble::setMute(bool mute) {
    std::lock_guard lock(journal_.mutex);
    journal_.mute = mute;
}

}  // namespace varnel::test
