#include "support/killswitch_service_double.h"

#include <chrono>
#include <thread>

namespace varnel::test {

std::optional<std::string> KillSwitchServiceDouble::Journal::take(const std::string& line, bool& hold) {
    std::lock_guard lock(mutex);
    if (!line.empty()) received.push_back(line);
    const bool answer = !silent && !mute && !line.empty() && line.back() == '\n';
    hold = answer || mute;
    return answer ? std::optional(reply) : std::nullopt;
}

bool KillSwitchServiceDouble::Journal::parkWhileBusy() {
    if (!busy) return false;
    parked = true;
    while (busy && !stopping) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    parked = false;
    return true;
}

void KillSwitchServiceDouble::Journal::waitParked() const {
    while (!parked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::vector<std::string> KillSwitchServiceDouble::received() const {
    std::lock_guard lock(journal_.mutex);
    return journal_.received;
}

namespace {
template <class T>
void setLocked(std::mutex& mutex, T& field, T value) {
    std::lock_guard lock(mutex);
    field = std::move(value);
}
}  // namespace

void KillSwitchServiceDouble::setReply(std::string reply) { setLocked(journal_.mutex, journal_.reply, std::move(reply)); }
void KillSwitchServiceDouble::setSilent(bool silent) { setLocked(journal_.mutex, journal_.silent, silent); }
void KillSwitchServiceDouble::setMute(bool mute) { setLocked(journal_.mutex, journal_.mute, mute); }

}  // namespace varnel::test
