#pragma once
// The reader thread that follows OpenVPN's state reports for the running session, and the slot that
// holds it. At most one reader is wanted at a time.

#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/socket.h"

namespace varnel::tunnel {

class Tunnel;

// Owned by the tunnel. lock_ guards thread_ only: a reader is swapped out under it and told to stop,
// then joined outside it, so no caller waits for a reader while holding the lock.
class ReaderSlot {
public:
    ~ReaderSlot() { stop(); }

    // Starts body unless a reader is held (not yet joined); false then.
    bool startIfIdle(std::function<void(std::stop_token)> body);
    // Ends any reader held and starts body in its place, as one step.
    void replace(std::function<void(std::stop_token)> body);
    // Ends the reader held, if any; it ends within its one-second wait.
    void stop();
    bool busy();

private:
    std::mutex lock_;
    std::jthread thread_;
};

// The thread's body: follows the reports until OpenVPN closes the connection, a wait fails, or a
// stop is requested. A dropped connection marks the session disconnected with the reason from the
// log and, while the session is wanted and the kill switch is on, engages the kill switch again.
void ManagementReader(Tunnel& tunnel, const std::shared_ptr<platform::Socket>& socket, std::stop_token stop);

// The reader on socket, unless one is still held: then nothing is started and the answer is false.
bool startManagementReader(Tunnel& tunnel, std::shared_ptr<platform::Socket> socket);
// Ends any reader still held and starts one on socket: a connect's new session replaces whatever an
// overlapping connect or recovery started meanwhile.
void replaceManagementReader(Tunnel& tunnel, std::shared_ptr<platform::Socket> socket);

}  // namespace varnel::tunnel
