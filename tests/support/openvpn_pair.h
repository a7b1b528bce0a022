#pragma once
// A real OpenVPN server on loopback for integration tests, with a throwaway certificate made by
// openssl at test time, and the client profile that reaches it. The server runs under another
// program name than OpenVPN's, so that nothing that looks for OpenVPN's process by name takes it for
// the client; it dies with the test program. Linux only, as root with /dev/net/tun; elsewhere
// unavailableReason() says why not.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace varnel::test {

inline constexpr const char* kVpnUser = "alice";
inline constexpr const char* kVpnPassword = "correct horse";

struct OpenVpnServerOptions {
    std::vector<std::string> launcher;  // put before the program, e.g. to start it in a namespace
    std::string local = "127.0.0.1";
    std::string proto = "tcp-server";
    std::uint16_t port = 0;     // 0: a free port on loopback
    bool configureTun = false;  // give the tun device its address, and clients theirs, for real traffic
};

class OpenVpnServer {
public:
    // Empty when a real OpenVPN pair can run here.
    static std::string unavailableReason();
    // The path of OpenVPN's own program (the client), as the system would find it.
    static std::string openVpnProgram();
    // The server's own address inside the tunnel (clients get theirs from 10.213.7.10 on).
    static constexpr const char* kTunnelAddress = "10.213.7.1";

    // Starts the server (by default on a free TCP port on loopback); throws when it cannot.
    explicit OpenVpnServer(const OpenVpnServerOptions& options = {});

    std::uint16_t port() const { return port_; }
    // A client profile for this server: dev null, no interface or route changes, and an end of its
    // own once the server is gone.
    std::string clientProfile(const std::string& extraLines = "") const;
    // The certificate the client trusts, in PEM, for profiles of other shapes.
    std::string caCertificate() const;

private:
    TempDir dir_;
    std::uint16_t port_ = 0;
    std::optional<ChildProcess> server_;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
std::uint16_t freeLoopbackPort();

}  // namespace varnel::test
