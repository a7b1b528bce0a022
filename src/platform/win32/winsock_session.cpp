#include "platform/win32/winsock_session.h"

#include <winsock2.h>

#include <cstdlib>

namespace varnel::platform {

void ensureWinsock() {
    static const bool started = [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        std::atexit([] { WSACleanup(); });
        return true;
    }();
    (void)started;
}

}  // namespace varnel::platform
