#include "tunnel/management_reader.h"

#include <cstring>
#include <string>

#include "app/runtime.h"
#include "tunnel/kill_switch_hook.h"
#include "tunnel/log_classifier.h"
#include "tunnel/management_client.h"

namespace varnel {

namespace {

constexpr int kWaitMs = 1000;
constexpr std::size_t kReceiveLimit = 8191;

// The connection ended on OpenVPN's side (or failed): the session is over unless it already was.
void handleDrop(Runtime& runtime, const std::shared_ptr<platform::Socket>& socket) {
    TunnelControl& tunnel = runtime.tunnel;
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
    if (changed && tunnel.killSwitchEnabled && tunnel.sessionActive) reengageKillSwitchAfterDrop(runtime);
}

}  // namespace

void ManagementReader(Runtime& runtime, std::shared_ptr<platform::Socket> socket) {
    TunnelControl& tunnel = runtime.tunnel;
    ManagementSend(*socket, "state on");
    // "state on" reports only later changes; a tunnel that connected before we attached would never
    // be reported, so ask once for the current state as well. Its reply lines carry no ">STATE:".
    ManagementSend(*socket, "state");
    bool inStateReply = true;

    std::string pending;
    char buffer[kReceiveLimit + 1];
    while (tunnel.readerRunning) {
        const platform::WaitResult wait = platform::waitReadable(*socket, kWaitMs);
        if (wait == platform::WaitResult::Error) break;
        if (wait == platform::WaitResult::Timeout) continue;
        const long n = platform::receiveSome(*socket, buffer, kReceiveLimit);
        if (n <= 0) {
            handleDrop(runtime, socket);
            break;
        }
        pending.append(buffer, strnlen(buffer, static_cast<std::size_t>(n)));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
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
    }
    std::lock_guard lock(tunnel.lock);
    if (tunnel.state.managementSocket == socket) tunnel.state.managementSocket.reset();
    // The reader's own hold goes with it; the connection closes once nobody else is sending on it.
}

bool startManagementReader(Runtime& runtime, std::shared_ptr<platform::Socket> socket) {
    TunnelControl& tunnel = runtime.tunnel;
    std::lock_guard guard(tunnel.readerLock);
    if (tunnel.readerThread.joinable()) return false;
    tunnel.readerRunning = true;
    tunnel.readerThread = std::thread(ManagementReader, std::ref(runtime), std::move(socket));
    return true;
}

void replaceManagementReader(Runtime& runtime, std::shared_ptr<platform::Socket> socket) {
    TunnelControl& tunnel = runtime.tunnel;
    std::lock_guard guard(tunnel.readerLock);
    if (tunnel.readerThread.joinable()) {
        tunnel.readerRunning = false;
        tunnel.readerThread.join();
    }
    tunnel.readerRunning = true;
    tunnel.readerThread = std::thread(ManagementReader, std::ref(runtime), std::move(socket));
}

void stopManagementReader(Runtime& runtime) {
    TunnelControl& tunnel = runtime.tunnel;
    tunnel.readerRunning = false;
    // Joined while readerLock is held, so that no second reader can start until this one has ended.
    std::lock_guard guard(tunnel.readerLock);
    if (tunnel.readerThread.joinable()) tunnel.readerThread.join();
}

}  // namespace varnel
