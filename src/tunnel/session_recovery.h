#pragma once
// Finding a tunnel left running by an earlier run of the system, through its management interface.

#include <string>

#include "platform/socket.h"

namespace varnel::tunnel {

class Tunnel;

// Asks OpenVPN for its state: "connected", "connecting" or "disconnected", never empty.
std::string QueryManagementState(const platform::Socket& socket);

// Re-attaches to an OpenVPN that answers on the management port when this process knows of no
// session: fills the tunnel state from OpenVPN, active.txt and killswitch.txt and starts the reader.
void RecoverSession(Tunnel& tunnel);

}  // namespace varnel::tunnel
