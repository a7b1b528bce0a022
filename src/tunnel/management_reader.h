#pragma once
// The reader thread that follows OpenVPN's state reports for the running session. At most one runs
// at a time; it lives in TunnelControl::readerThread.

#include <memory>

#include "platform/socket.h"

namespace varnel {

struct Runtime;

// The thread's body: follows the reports until OpenVPN closes the connection, a wait fails, or
// readerRunning is cleared. A dropped connection marks the session disconnected with the reason from
// the log and, while the session is wanted and the kill switch is on, engages the kill switch again.
void ManagementReader(Runtime& runtime, std::shared_ptr<platform::Socket> socket);

// Sets readerRunning and starts the reader on socket, unless a reader is still held in
// readerThread (not yet joined): then nothing is started and the answer is false.
bool startManagementReader(Runtime& runtime, std::shared_ptr<platform::Socket> socket);
// Ends any reader still held and starts one on socket, as one step: a connect's new session replaces
// whatever an overlapping connect or recovery started meanwhile.
void replaceManagementReader(Runtime& runtime, std::shared_ptr<platform::Socket> socket);
// Clears readerRunning and joins the reader, if one was started; it ends within about a second.
void stopManagementReader(Runtime& runtime);

}  // namespace varnel
