#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/socket.h"
#include "platform/win32/winsock_session.h"

namespace varnel::platform {

namespace {
SOCKET raw(const Socket& socket) { return static_cast<SOCKET>(socket.native()); }
}  // namespace

void Socket::close() {
    if (native_ != kNone) closesocket(static_cast<SOCKET>(native_));
    native_ = kNone;
}

Socket connectLoopback(std::uint16_t port, int timeoutMs) {
    ensureWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return Socket();
    // Not inherited, so that no program we start holds the management connection open.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    Socket socket(static_cast<Socket::Native>(s));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return Socket();
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        if (::select(0, nullptr, &writable, &failed, &timeout) <= 0 || !FD_ISSET(s, &writable)) return Socket();
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    return socket;
}

void sendOnce(const Socket& socket, std::string_view bytes) {
    if (!socket.valid()) return;
    ::send(raw(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
}

WaitResult waitReadable(const Socket& socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(raw(socket), &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) return WaitResult::Error;
    return ready == 0 ? WaitResult::Timeout : WaitResult::Readable;
}

long receiveSome(const Socket& socket, char* buffer, std::size_t size) {
    return ::recv(raw(socket), buffer, static_cast<int>(size), 0);
}

}  // namespace varnel::platform
