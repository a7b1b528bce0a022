#include "tunnel/management_reader.h"

#include <cstring>
#include <string>

#include "tunnel/log_classifier.h"
#include "tunnel/management_client.h"
#include "tunnel/tunnel.h"

namespace varnel::tunnel {

namespace {

constexpr int kWaitMs = 1000;
constexpr std::size_t kReceiveLimit = 8191;
constexpr std::size_t kLineLimit = 64 * 1024;

// The connection ended on OpenVPN's side (or failed): the session is over unless it already was.
void handleDrop(Tunnel& owner, const std::shared_ptr<platform::Socket>& socket) {
    TunnelControl& tunnel = owner.control;
    platform::PathText logPath;
    {
        std::lock_guard lock(tunnel.lock);
        if (tunnel.state.status == kStatusDisconnected) return;
        logPath = tunnel.state.logPath;
    }
    // The log is read without the lock; the state is then changed only if this session is still
    // the one recorded (a new connect may have begun meanwhile).
    const std::string reason = logPath.empty() ? std::string() : ClassifyOpenVpnLog(logPath);
    bool changed = false;
    {
        std::lock_guard lock(tunnel.lock);
        const bool sameSession = tunnel.state.managementSocket == socket || tunnel.state.managementSocket == nullptr;
        if (sameSession && tunnel.state.status != kStatusDisconnected) {
            tunnel.state.status = kStatusDisconnected;
            tunnel.state.message = reason.empty() ? "Connection closed" : reason;
            changed = true;
        }
    }
    // While the session is wanted, traffic stays blocked with the rules for the last server.
    if (changed && owner.killSwitch->enabled() && tunnel.sessionActive) owner.killSwitch->apply(true);
}

}  // namespace

void ManagementReader(Tunnel& owner, const std::shared_ptr<platform::Socket>& socket, std::stop_token stop) {
    TunnelControl& tunnel = owner.control;
    ManagementSend(*socket, "state on");
    // "state on" reports only later changes; a tunnel that connected before we attached would never
    // be reported, so ask once for the current state as well. Its reply lines carry no ">STATE:".
    ManagementSend(*socket, "state");
    bool inStateReply = true;

    std::string pending;
    char buffer[kReceiveLimit + 1];
    while (!stop.stop_requested()) {
        const platform::WaitResult wait = platform::waitReadable(*socket, kWaitMs);
        if (wait == platform::WaitResult::Error) break;
        if (wait == platform::WaitResult::Timeout) continue;
        const long n = platform::receiveSome(*socket, buffer, kReceiveLimit);
        if (n <= 0) {
            handleDrop(owner, socket);
            break;
        }
        // Bytes held from earlier reads hold no line feed: only the new ones are searched.
        std::size_t from = pending.size();
        pending.append(buffer, strnlen(buffer, static_cast<std::size_t>(n)));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', from)) != std::string::npos; start = from = end + 1) {
            const std::string_view line(pending.data() + start, end - start + 1);
            if (inStateReply && stateNameOfReply(line)) {
                inStateReply = false;
                StateLineParser(tunnel, ">STATE:" + std::string(line));
            } else {
                if (line.substr(0, 3) == "END") inStateReply = false;
                StateLineParser(tunnel, line);
            }
        }
        pending.erase(0, start);
        // No report of OpenVPN's comes near this: the peer is broken or not OpenVPN at all.
        if (pending.size() > kLineLimit) {
            handleDrop(owner, socket);
            break;
        }
    }
    std::lock_guard lock(tunnel.lock);
    if (tunnel.state.managementSocket == socket) tunnel.state.managementSocket.reset();
    // The reader's own hold goes with it; the connection closes once nobody else is sending on it.
}

bool ReaderSlot::startIfIdle(std::function<void(std::stop_token)> body) {
    std::lock_guard guard(lock_);
    if (thread_.joinable()) return false;
    thread_ = std::jthread(std::move(body));
    return true;
}

void ReaderSlot::replace(std::function<void(std::stop_token)> body) {
    // The new reader starts only into an empty slot, so two readers never run at once; one that
    // another caller slipped in meanwhile is ended as well.
    for (;;) {
        std::jthread old;
        {
            std::lock_guard guard(lock_);
            if (!thread_.joinable()) {
                thread_ = std::jthread(std::move(body));
                return;
            }
            old = std::move(thread_);
        }
        // old's destructor asks it to stop and joins it, outside the lock.
    }
}

void ReaderSlot::stop() {
    std::jthread old;
    {
        std::lock_guard guard(lock_);
        old = std::move(thread_);
    }
}

bool ReaderSlot::busy() {
    std::lock_guard guard(lock_);
    return thread_.joinable();
}

bool startManagementReader(Tunnel& tunnel, std::shared_ptr<platform::Socket> socket) {
    return tunnel.reader.startIfIdle([&tunnel, socket](std::stop_token stop) { ManagementReader(tunnel, socket, stop); });
}

void replaceManagementReader(Tunnel& tunnel, std::shared_ptr<platform::Socket> socket) {
    tunnel.reader.replace([&tunnel, socket](std::stop_token stop) { ManagementReader(tunnel, socket, stop); });
}

}  // namespace varnel::tunnel
