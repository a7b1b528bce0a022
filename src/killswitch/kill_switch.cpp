#include "killswitch/kill_switch.h"

#include "killswitch/killswitch_file.h"
#include "killswitch/rules.h"
#include "killswitch/server_addresses.h"
#include "platform/killswitch_channel.h"

namespace varnel::killswitch {

KillSwitch::KillSwitch(std::string channel, platform::PathText program, platform::PathText recordFile)
    : channel_(std::move(channel)), program_(std::move(program)), recordFile_(std::move(recordFile)) {}

bridge::JSValueObject KillSwitch::setEnabled(bool enabled, const std::function<bool()>& tunnelConnected) {
    enabled_.exchange(enabled);
    // While connecting, the connect worker reads the flag itself when it reaches its kill-switch step.
    if (!enabled)
        disable();
    else if (tunnelConnected())
        apply(true);
    return bridge::JSValueObject{{"enabled", bridge::JSValue(enabled)}};
}

bridge::JSValueObject KillSwitch::setBlockIpv6(bool enabled) {
    blockIpv6_.exchange(enabled);
    return bridge::JSValueObject{{"enabled", bridge::JSValue(enabled)}};
}

std::string KillSwitch::transact(std::string_view command) const {
    std::string line;
    line.reserve(command.size() + 1);
    line.append(command).push_back('\n');
    return platform::exchangeKillSwitchBytes(channel_, line).bytes;
}

void KillSwitch::apply(bool sessionWanted) const {
    const ServerEndpoint endpoint = server();
    if (endpoint.addresses.empty() && sessionWanted) return;
    const std::string program = platform::pathTextToUtf8(program_);
    transact(composeEnableCommand(endpoint.protocol, endpoint.port, sessionWanted, endpoint.addresses, program));
}

void KillSwitch::setServerProtocolAndPort(std::string protocol, std::int32_t port) {
    std::lock_guard guard(lock_);
    server_.protocol = std::move(protocol);
    server_.port = port;
}

void KillSwitch::recordServerAddresses(std::string_view host, std::string_view protocol, std::int32_t port) {
    const std::string list = resolveServerAddresses(host);
    if (list.empty()) return;
    {
        std::lock_guard guard(lock_);
        server_.addresses = list;
    }
    writeKillSwitchFile(recordFile_, protocol, port, list);
}

void KillSwitch::restoreServerFromRecord() {
    const KillSwitchRecord record = readKillSwitchFile(recordFile_);
    std::lock_guard guard(lock_);
    server_ = {record.protocol, record.port, record.addresses};
}

void KillSwitch::deleteRecord() const {
    platform::removeFileQuietly(recordFile_);
}

ServerEndpoint KillSwitch::server() const {
    std::lock_guard guard(lock_);
    return server_;
}

}  // namespace varnel::killswitch
