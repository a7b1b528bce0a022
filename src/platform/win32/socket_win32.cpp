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

Socket connectLoopback(std::uint16_t port) {
    ensureWinsock();
    // INVALID_SOCKET is all ones, which is Socket's none.
    Socket socket(static_cast<Socket::Native>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (!socket.valid()) return Socket();
    // Not inherited, so that no program we start holds the management connection open.
    SetHandleInformation(reinterpret_cast<HANDLE>(raw(socket)), HANDLE_FLAG_INHERIT, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::connect(raw(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return Socket();
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
