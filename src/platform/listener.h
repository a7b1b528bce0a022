#pragma once
// Who listens on a loopback TCP port: the management port must be OpenVPN's, not a process that
// took the port first to fake its answers.

#include <cstdint>

namespace varnel::platform {

// True when the process listening on 127.0.0.1:port runs OpenVPN's program with administrator
// rights and, when expectedPid is not 0, is that very process. False when nobody listens there or
// the listener is anyone else. Where the system hides the owner's identity from us, the parts it
// does show must still match.
bool listenerIsOpenVpn(std::uint16_t port, std::uint32_t expectedPid);

// The process listening on 127.0.0.1:port; 0 when there is none or the system does not say.
std::uint32_t loopbackListenerPid(std::uint16_t port);

}  // namespace varnel::platform
