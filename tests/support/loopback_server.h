#pragma once
// A TCP server on 127.0.0.1 for tests that play the far end of a loopback connection (a scripted
// management interface, for example). One connection at a time, driven by the test.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace varnel::test {

class LoopbackConnection {
public:
    struct Impl;
    explicit LoopbackConnection(std::unique_ptr<Impl> impl);
    LoopbackConnection(LoopbackConnection&&) noexcept;
    ~LoopbackConnection();

    // The next line the client sent, without its CR LF; false when the client closed.
    bool readLine(std::string& line);
    // The same, but gives up when no byte arrives for timeoutMs, so one thread can also keep time.
    enum class Read { Line, Timeout, Closed };
    Read readLineWithin(std::string& line, int timeoutMs);
    void send(std::string_view bytes);
    void close();

private:
    long receive(char* buffer, std::size_t size);
    bool waitReadable(int timeoutMs);
    bool takeLine(std::string& line);

    std::unique_ptr<Impl> impl_;
    std::string pending_;
};

class LoopbackServer {
public:
    // Listens on an ephemeral port of 127.0.0.1.
    LoopbackServer();
    // Listens on the given port of 127.0.0.1; throws std::runtime_error when it is taken.
    explicit LoopbackServer(std::uint16_t port);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }
    // Waits for the next client.
    LoopbackConnection accept();
    // The next client, or nothing when none comes within timeoutMs.
    std::optional<LoopbackConnection> acceptWithin(int timeoutMs);
    // Stops listening, so that connects are refused.
    void stop();

private:
    std::intptr_t listener_ = -1;
    std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 held bound but not listening for as long as the object lives: no other
// test can take it, and every connect to it is refused.
class ReservedPort {
public:
    ReservedPort();
    ~ReservedPort();
    ReservedPort(const ReservedPort&) = delete;
    ReservedPort& operator=(const ReservedPort&) = delete;

    std::uint16_t port() const { return port_; }

private:
    std::intptr_t socket_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace varnel::test
