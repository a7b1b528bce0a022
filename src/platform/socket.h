#pragma once
// The loopback TCP client of the management interface: connect once, send once, wait, receive.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnel::platform {

// An open socket or none. Move-only; closes what it holds.
class Socket {
public:
    using Native = std::intptr_t;
    static constexpr Native kNone = -1;  // all ones, as the systems' invalid-socket values

    Socket() = default;
    explicit Socket(Native native) : native_(native) {}
    Socket(Socket&& other) noexcept : native_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    ~Socket() { close(); }

    bool valid() const { return native_ != kNone; }
    Native native() const { return native_; }
    Native release();
    void close();

private:
    Native native_ = kNone;
};

// One connect to 127.0.0.1:port that gives up after timeoutMs (a listener whose backlog is full
// would otherwise hold a blocking connect for minutes of SYN retries); none when it fails. The
// socket it returns blocks as usual.
Socket connectLoopback(std::uint16_t port, int timeoutMs = 1000);
// One send call; the result is not reported.
void sendOnce(const Socket& socket, std::string_view bytes);

enum class WaitResult { Readable, Timeout, Error };
WaitResult waitReadable(const Socket& socket, int timeoutMs);
// One recv call: the byte count, 0 when the peer closed, negative on failure.
long receiveSome(const Socket& socket, char* buffer, std::size_t size);

}  // namespace varnel::platform
