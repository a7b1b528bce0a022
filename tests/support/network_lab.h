#pragma once
// Network namespaces for tests that need real traffic: each namespace is created by the test,
// holds only the addresses the test gives it, and is removed with every process inside it when
// the object goes, also when the test fails. Linux only, as root.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace varnel::test {

// Empty when namespaces, nftables and the tools the lab uses are available here.
std::string networkLabUnavailableReason();

struct CommandOutput {
    int exitCode = -1;
    std::string output;  // standard output; standard error goes to the test's log
};

// Runs program to its end.
CommandOutput runCommand(const std::string& program, const std::vector<std::string>& args);

class NetworkNamespace {
public:
    explicit NetworkNamespace(std::string name);  // throws when it cannot be made
    ~NetworkNamespace();                         // kills what runs inside, then removes it
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    const std::string& name() const { return name_; }
    // "ip netns exec NAME": put before a program to start it inside.
    std::vector<std::string> execPrefix() const;
    CommandOutput exec(const std::string& program, const std::vector<std::string>& args) const;
    // Runs an ip command on this namespace ("ip -n NAME ..."); throws when it fails.
    void ip(const std::vector<std::string>& args) const;
    // Runs fn on a thread of this process that has entered the namespace: sockets it makes live here.
    void runInside(const std::function<void()>& fn) const;
    // Process ids inside the namespace.
    std::vector<int> processes() const;

private:
    std::string name_;
};

bool namespaceExists(const std::string& name);

// A UDP and TCP echo on every address of a namespace (IPv4 and IPv6), on one port.
class EchoServer {
public:
    EchoServer(const NetworkNamespace& where, std::uint16_t port);
    ~EchoServer();
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

struct ProbeCount {
    int tried = 0;
    int sent = 0;      // the send or connect did not fail at once (a drop on output refuses a datagram
                       // at once, but a connection attempt only later)
    int answered = 0;  // the echo came back
};

// Each try: one datagram, or one connection that sends a line, with a short wait for the echo.
ProbeCount probeUdp(const NetworkNamespace& from, const std::string& address, std::uint16_t port, int tries);
ProbeCount probeTcp(const NetworkNamespace& from, const std::string& address, std::uint16_t port, int tries);
// Datagrams as fast as they go until stop is set, without waiting for answers (late ones still count).
ProbeCount floodUdp(const NetworkNamespace& from, const std::string& address, std::uint16_t port,
                    const std::atomic<bool>& stop);

}  // namespace varnel::test
