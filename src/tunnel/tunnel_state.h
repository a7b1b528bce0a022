#pragma once
// The one record of the VPN session, its lock and the flags beside it.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/socket.h"

namespace varnel::tunnel {

inline constexpr const char* kStatusDisconnected = "disconnected";
inline constexpr const char* kStatusConnecting = "connecting";
inline constexpr const char* kStatusConnected = "connected";

// Every field is read and written only while TunnelControl::lock (the TunnelLock) is held.
// The process and the management socket are shared: a reader copies the pointer under the lock and
// uses it outside, so a handle is never closed while another thread is still using it. Clearing a
// field lets go of the record's hold; the management reader holds its socket until it ends.
struct TunnelState {
    std::string status = kStatusDisconnected;
    std::string message;
    std::string profileId;
    platform::PathText logPath;
    std::shared_ptr<platform::ProcessHandle> process;
    std::shared_ptr<platform::Socket> managementSocket;
};

// Shared by the interface thread, the workers and the management reader. lock guards state and is
// never held with another lock or across a blocking call; the flags are read and written without it.
struct TunnelControl {
    std::mutex lock;
    TunnelState state;

    std::atomic<bool> sessionActive{false};
    std::atomic<bool> recoveryDone{false};
};

}  // namespace varnel::tunnel
