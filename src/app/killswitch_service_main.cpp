// varnel-killswitch-service: the Linux kill-switch service behind the client's Unix socket. It runs
// as root, serves one command at a time and keeps the block in the kernel: whatever happens to
// this process, the rules stay in force until a DISABLE lifts them.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/service/control_socket.h"
#include "platform/service/nftables.h"
#include "service/options.h"
#include "service/serve.h"

namespace {

using namespace varnel;

class NftablesFirewall : public service::Firewall {
public:
    bool run(const std::string& script, std::string& output, std::string& error) override {
        platform::NftResult result = platform::runNftScript(script);
        output = std::move(result.output);
        error = std::move(result.error);
        return result.ok;
    }
};

// One line a record, flushed at once, so the journal (or a test reading the output) sees each
// request as it is served.
void log(std::string line) {
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int fail(const std::string& message) {
    std::fputs(("varnel-killswitch-service: " + message + "\n").c_str(), stderr);
    return 1;
}

int printStatus(service::Firewall& firewall) {
    service::RulesetSummary summary;
    std::string error;
    if (!service::readRuleset(firewall, summary, error)) return fail("cannot read the ruleset: " + error);
    std::fputs(service::describeRuleset(summary).c_str(), stdout);
    return 0;
}

int serve(const service::ServiceOptions& options, service::Firewall& firewall) {
    if (!platform::runningAsRoot()) return fail("must run as root");
    std::uint32_t group = 0;
    if (!platform::findGroupId(options.group, group))
        return fail("there is no group " + options.group + " (groupadd --system " + options.group + ")");

    // A restarted service goes on with the block it finds; it changes nothing until told to.
    service::RulesetSummary found;
    std::string error;
    if (!service::readRuleset(firewall, found, error)) return fail("cannot read the ruleset: " + error);
    log("found: " + service::describeRuleset(found));

    std::optional<platform::ControlSocket> socket = platform::ControlSocket::listenAt(options.socketPath, group, error);
    if (!socket) return fail(error);
    log("listening on " + options.socketPath + " for root and group " + options.group);
    while (std::optional<platform::ControlConnection> client = socket->next()) {
        const std::optional<platform::PeerCredentials> peer = client->peer();
        const service::Outcome outcome =
            peer && service::peerMayCommand(*peer, group)
                ? service::handleRequest(client->receiveLine(service::kRequestLineMax, service::kRequestTimeoutMs),
                                         firewall)
                : service::refusePeer(peer.value_or(platform::PeerCredentials{~0u, ~0u, {}, 0}));
        client->send(outcome.reply);
        log(outcome.log);
    }
    log("stopped; the rules stay as they are");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const char* fromEnvironment = std::getenv("VARNEL_KILLSWITCH_SOCKET");
    service::ServiceOptions options;
    std::string error;
    if (!service::parseServiceOptions(args, fromEnvironment ? fromEnvironment : "", options, error)) {
        std::fputs(("varnel-killswitch-service: " + error + "\n").c_str(), stderr);
        std::fputs(service::kServiceUsage, stderr);
        return 2;
    }
    NftablesFirewall firewall;
    return options.status ? printStatus(firewall) : serve(options, firewall);
}
