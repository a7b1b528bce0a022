#pragma once
// A TCP server on 127.0.0.1 for tests that play the far end of a loopback connection (a scripted
// management interface, for example). One connection at a time, driven by the test.

#include <cstdint>
#include <memory>
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
    void send(std::string_view bytes);
    void close();

private:
    long receive(char* buffer, std::size_t size);

    std::unique_ptr<Impl> impl_;
    std::string pending_;
};

class LoopbackServer {
public:
    // Listens on an ephemeral port of 127.0.0.1.
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }
    // Waits for the next client.
    LoopbackConnection accept();
    // Stops listening, so that connects are refused.
    void stop();

private:
    std::intptr_t listener_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace varnel::test
