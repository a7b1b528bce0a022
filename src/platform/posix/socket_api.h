#pragma once
// The BSD socket calls as code shared by both builds names them (src/platform/resolver.cpp);
// win32/socket_api.h gives Winsock's, which have the same names. Each build finds its own file
// through a private include folder of the platform library.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace varnel::platform {

// Sockets need no start here.
inline void startSockets() {}

}  // namespace varnel::platform
