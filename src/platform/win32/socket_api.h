#pragma once
// Winsock, whose calls have the BSD names that code shared by both builds uses
// (src/platform/resolver.cpp); posix/socket_api.h is the other build's.

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/winsock_session.h"

namespace varnel::platform {

inline void startSockets() { ensureWinsock(); }

}  // namespace varnel::platform
