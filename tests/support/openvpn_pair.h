#pragma once
// A real OpenVPN server (Linux, root) with a throwaway certificate, renamed so that nothing looking for
// OpenVPN's process by name takes it for the client; it dies with the test program.

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
    bool udp = false;           // else TCP
    std::uint16_t port = 0;     // 0: a free port on loopback
    bool configureTun = false;  // give the tun device its address, and clients theirs, for real traffic
};

class OpenVpnServer {
public:
    // Empty when a real OpenVPN pair can run here.
    static std::string unavailableReason();
    // OpenVPN's own program, as the system finds it.
    static std::string openVpnProgram();
    // The server's own address inside the tunnel (clients get theirs from 10.213.7.10 on).
    static constexpr const char* kTunnelAddress = "10.213.7.1";

    // Throws when it cannot start.
    explicit OpenVpnServer(const OpenVpnServerOptions& options = {});

    std::uint16_t port() const { return port_; }
    // dev null with no interface or route changes unless configureTun, and an end of its own once the
    // server is gone.
    std::string clientProfile() const;

private:
    const OpenVpnServerOptions options_;
    TempDir dir_;
    std::uint16_t port_ = 0;
    std::optional<ChildProcess> server_;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
std::uint16_t freeLoopbackPort();

}  // namespace varnel::test
