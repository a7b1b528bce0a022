#pragma once
// The kill switch: the user's two settings, the VPN server the service is to let through, and the
// exchange with the kill-switch service that enforces the block.
// Shared by the interface thread, the connect and disconnect workers and the management reader.
// lock_ guards server_ only and is never held with another lock nor across the service exchange or a
// file access; the two settings are atomic.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "bridge/js_value.h"
#include "platform/files.h"

namespace varnel::killswitch {

inline constexpr std::string_view kDisableCommand = "DISABLE";

// The server endpoint of the last session; kept until a newer one replaces it.
struct ServerEndpoint {
    std::string protocol;
    std::int32_t port = 0;
    std::string addresses;
};

class KillSwitch {
public:
    // channel: the service's pipe or socket. program: this executable, named to the service as the
    // program whose traffic it lets through. recordFile: killswitch.txt.
    KillSwitch(std::string channel, platform::PathText program, platform::PathText recordFile);

    bool enabled() const { return enabled_; }
    bool blockIpv6() const { return blockIpv6_; }

    // Stores the setting and acts on it at once: on, while the tunnel is connected, sends ENABLE for
    // the current server; off sends "DISABLE" whatever the tunnel does. Answers {"enabled": enabled}.
    bridge::JSValueObject setEnabled(bool enabled, const std::function<bool()>& tunnelConnected);
    // Stores the setting for the next connect. Answers {"enabled": enabled}.
    bridge::JSValueObject setBlockIpv6(bool enabled);

    // Sends one command line and returns the reply; an absent or busy service gives an empty reply.
    std::string transact(std::string_view command) const;
    void disable() const { transact(kDisableCommand); }
    // Sends ENABLE for the known server. sessionWanted is false only for the user's disconnect; while
    // it is true and no server address is known nothing is sent, since rules without the server
    // would block the tunnel itself.
    void apply(bool sessionWanted) const;

    // The profile's protocol and port for the coming session.
    void setServerProtocolAndPort(std::string protocol, std::int32_t port);
    // Resolves host and, when that gives any address, makes it the server address and writes
    // killswitch.txt; otherwise the address known before stays. Blocks while the name resolves.
    void recordServerAddresses(std::string_view host, std::string_view protocol, std::int32_t port);
    // Takes the server endpoint from killswitch.txt (a restarted system re-attaching to a tunnel).
    void restoreServerFromRecord();
    void deleteRecord() const;
    ServerEndpoint server() const;

private:
    const std::string channel_;
    const platform::PathText program_;
    const platform::PathText recordFile_;
    std::atomic<bool> enabled_{false};
    std::atomic<bool> blockIpv6_{true};
    mutable std::mutex lock_;
    ServerEndpoint server_;
};

}  // namespace varnel::killswitch
