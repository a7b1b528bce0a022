// The connection against a real OpenVPN server on loopback (root and /dev/net/tun needed):
// - connectOvpn until getStatus says "connected", against the baseline of a bare OpenVPN client
//   started on the same server until it logs "Initialization Sequence Completed";
// - getStatus calls while connected.
// Compare BM_ConnectToConnected with BM_BareOpenVpnUntilInitialized: the ratio is what the system adds.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/test_runtime.h"
#include "support/test_helpers.h"
#include "support/openvpn_pair.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "tunnel/management_client.h"
#include "tunnel/openvpn_program.h"

namespace {

using namespace varnel;
namespace fs = std::filesystem;
using test::args;

test::OpenVpnServer* server() {
    static test::OpenVpnServer* instance = test::OpenVpnServer::unavailableReason().empty() ? new test::OpenVpnServer() : nullptr;
    return instance;
}

struct Connection {
    std::shared_ptr<test::TestRuntime> runtime = test::makeTestRuntime(test::useRealOpenVpn);
    test::TestHost host{runtime};

    Connection() {
        host.callAndWait("saveOvpnProfile", args({"bench", bridge::JSValue(server()->clientProfile()), "client.ovpn", ""}));
    }
    bool connected() { return *host.callAndWait("getStatus").value.asObject()->find("state") == bridge::JSValue("connected"); }
    bool connect() {
        host.callAndWait("connectOvpn", args({"bench", "client.ovpn", test::kVpnUser, test::kVpnPassword}));
        return test::waitUntil([&] { return connected(); }, std::chrono::seconds(30));
    }
    void disconnect() { host.callAndWait("disconnect"); }
};

void BM_ConnectToConnected(benchmark::State& state) {
    if (!server()) return state.SkipWithError(test::OpenVpnServer::unavailableReason().c_str());
    Connection connection;
    for (auto _ : state) {
        if (!connection.connect()) return state.SkipWithError("the tunnel did not come up");
        state.PauseTiming();
        connection.disconnect();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ConnectToConnected)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_BareOpenVpnUntilInitialized(benchmark::State& state) {
    if (!server()) return state.SkipWithError(test::OpenVpnServer::unavailableReason().c_str());
    test::TempDir dir;
    std::ofstream(dir.path() / "client.ovpn") << server()->clientProfile();
    std::ofstream(dir.path() / "auth.txt") << test::kVpnUser << "\n" << test::kVpnPassword << "\n";
    const fs::path log = dir.path() / "openvpn.log";
    const std::uint16_t port = test::freeLoopbackPort();
    auto launcher = platform::systemProcessLauncher();
    for (auto _ : state) {
        fs::remove(log);
        platform::LaunchResult launched = launcher->launchElevated(
            test::OpenVpnServer::openVpnProgram(),
            "--config \"" + (dir.path() / "client.ovpn").string() + "\" --auth-user-pass \"" + (dir.path() / "auth.txt").string() +
                "\" --log \"" + log.string() + "\" --management 127.0.0.1 " + std::to_string(port));
        if (!test::waitUntil([&] { return test::fileBytes(log).find("Initialization Sequence Completed") != std::string::npos; }, std::chrono::seconds(30)))
            return state.SkipWithError("the bare client did not come up");
        state.PauseTiming();
        tunnel::ManagementSend(tunnel::ManagementConnect(port), "signal SIGTERM");
        platform::waitForExit(launched.process, 10000);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BareOpenVpnUntilInitialized)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_GetStatusWhileConnected(benchmark::State& state) {
    if (!server()) return state.SkipWithError(test::OpenVpnServer::unavailableReason().c_str());
    Connection connection;
    if (!connection.connect()) return state.SkipWithError("the tunnel did not come up");
    for (auto _ : state) benchmark::DoNotOptimize(connection.host.callAndWait("getStatus"));
    state.SetItemsProcessed(state.iterations());
    connection.disconnect();
}
BENCHMARK(BM_GetStatusWhileConnected)->Unit(benchmark::kMicrosecond);

}  // namespace
