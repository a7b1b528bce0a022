#include "tunnel/connection.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "bridge/rejection.h"
#include "bridge/worker.h"
#include "killswitch/ovpn_remote.h"
#include "storage/credentials_file.h"
#include "storage/fs_error.h"
#include "tunnel/log_classifier.h"
#include "tunnel/management_client.h"
#include "tunnel/management_reader.h"
#include "tunnel/openvpn_program.h"
#include "tunnel/session_record.h"
#include "tunnel/session_recovery.h"
#include "tunnel/tap_setup.h"
#include "tunnel/tunnel.h"

namespace varnel {

namespace fs = std::filesystem;
using platform::PathText;

namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool entryExists(const PathText& path) {
    std::error_code ignored;
    return fs::exists(fs::path(path), ignored);
}

// Probes the management port up to `probes` times, `pauseMs` apart, until nobody answers.
void waitForPortToClose(std::uint16_t port, int probes, int pauseMs) {
    for (int i = 0; i < probes; ++i) {
        sleepMs(pauseMs);
        if (!ManagementConnect(port).valid()) return;
    }
}

// The configuration file: the one named, else the first entry of the folder ending in ".ovpn".
PathText findConfig(const PathText& folder, const std::string& configFileName, const std::string& profileId) {
    PathText config = storage::DataFolder::child(folder, configFileName);
    if (!entryExists(config)) {
        std::error_code error;
        fs::directory_iterator it(fs::path(folder), error);
        if (error) throw storage::FsError("directory_iterator::directory_iterator", error, folder);
        for (fs::directory_iterator end; it != end; it.increment(error)) {
            if (it->path().extension() == fs::path(".ovpn")) {
                config = it->path().native();
                break;
            }
        }
    }
    if (!entryExists(config)) throw Rejection("VPN config not found for profile: " + profileId);
    return config;
}

// The reason a start failed, as the user is told it.
std::string failure(Tunnel& tunnel, const PathText& logPath, const char* fallback) {
    std::string message = ClassifyOpenVpnLog(logPath);
    if (message.empty()) message = fallback;
    std::lock_guard lock(tunnel.control.lock);
    tunnel.control.state.status = kStatusDisconnected;
    tunnel.control.state.message = message;
    return message;
}

// The server's addresses for the kill switch: in the background while it is off; first, and followed
// by its rules, while it is on.
void prepareKillSwitch(Tunnel& tunnel, const PathText& configPath) {
    killswitch::KillSwitch& killSwitch = *tunnel.killSwitch;
    killSwitch.disable();
    const killswitch::OvpnRemote remote = killswitch::readOvpnRemote(configPath);
    killSwitch.setServerProtocolAndPort(remote.proto, remote.port);
    if (!killSwitch.enabled()) {
        tunnel.services.threads->startDetached(
            [hold = tunnel.killSwitch, remote] { hold->recordServerAddresses(remote.host, remote.proto, remote.port); });
        return;
    }
    killSwitch.recordServerAddresses(remote.host, remote.proto, remote.port);
    killSwitch.apply(true);
}

JSValueObject connectWorker(Tunnel& rt, const std::string& profileId, const std::string& configFileName, const std::string& username,
                            const std::string& password) {
    const TunnelServices& services = rt.services;
    const PathText openvpn = rt.openVpnProgram();
    if (openvpn.empty()) throw Rejection(std::string("OpenVPN not found. Install OpenVPN Community from ") + kOpenVpnDownloadPage);
    if (!ensureTapAdapter(*services.adapters, *services.launcher, services.discovery.locateTapInstaller(openvpn)))
        throw Rejection("No TAP-Windows network adapter is installed, and it could not be set up automatically. Install the TAP-Windows driver and retry.");
    StopStaleOpenVpn(rt);

    const PathText folder = services.dataFolder.profileDir(profileId);
    const PathText authPath = storage::DataFolder::child(folder, "auth.txt");
    if (!username.empty()) storage::writeAuthFile(authPath, username, password);
    const PathText configPath = findConfig(folder, configFileName, profileId);
    const PathText logPath = storage::DataFolder::child(folder, "openvpn.log");
    std::error_code ignored;
    fs::remove(fs::path(logPath), ignored);
    prepareKillSwitch(rt, configPath);

    const std::string parameters = openVpnParameters(configPath, entryExists(authPath) ? authPath : PathText(), logPath,
                                                     services.managementPort, rt.killSwitch->blockIpv6());
    platform::LaunchResult launch = services.launcher->launchElevated(openvpn, parameters);
    if (launch.error == platform::kErrorCancelled) throw Rejection("Administrator access denied. Approve the UAC prompt to connect.");
    if (launch.error != 0) throw Rejection("Failed to launch OpenVPN (error " + std::to_string(launch.error) + ")");

    std::shared_ptr<platform::ProcessHandle> process;
    if (launch.process.valid()) process = std::make_shared<platform::ProcessHandle>(std::move(launch.process));
    {
        std::lock_guard lock(rt.control.lock);
        rt.control.state.process = process;
        rt.control.state.status = kStatusConnecting;
        rt.control.state.profileId = profileId;
        rt.control.state.logPath = logPath;
    }
    writeSessionRecord(services.dataFolder.activeRecordFile(), profileId);
    rt.control.sessionActive = true;

    for (int attempt = 0; attempt < 150; ++attempt) {
        sleepMs(100);
        auto socket = std::make_shared<platform::Socket>(ManagementConnect(services.managementPort));
        if (socket->valid()) {
            {
                std::lock_guard lock(rt.control.lock);
                rt.control.state.managementSocket = socket;
            }
            replaceManagementReader(rt, socket);
            return JSValueObject{{"state", JSValue(kStatusConnecting)}};
        }
        std::uint32_t code = 0;
        if (process && platform::queryExitCode(*process, code) && code != platform::kStillActive)
            throw Rejection(failure(rt, logPath, "OpenVPN exited before connecting. Check the config file or credentials."));
    }
    // OpenVPN is left running: it may still come up, and the status shows what becomes of it.
    throw Rejection(failure(rt, logPath, "Could not connect to OpenVPN management interface. The VPN may have failed to start."));
}

void disconnectWorker(Tunnel& rt) {
    TunnelControl& tunnel = rt.control;
    tunnel.sessionActive = false;
    std::shared_ptr<platform::Socket> socket;
    std::shared_ptr<platform::ProcessHandle> process;
    {
        std::lock_guard lock(tunnel.lock);
        socket = tunnel.state.managementSocket;
        process = tunnel.state.process;
    }
    if (socket) ManagementSend(*socket, "signal SIGTERM");
    if (process) platform::waitForExit(*process, 3000);
    else waitForPortToClose(rt.services.managementPort, 20, 50);
    rt.reader.stop();
    {
        std::lock_guard lock(tunnel.lock);
        tunnel.state.managementSocket.reset();
        tunnel.state.process.reset();
        tunnel.state.status = kStatusDisconnected;
        tunnel.state.message.clear();
        tunnel.state.profileId.clear();
        tunnel.state.logPath.clear();
    }
    deleteSessionRecord(rt.services.dataFolder.activeRecordFile());
    rt.killSwitch->deleteRecord();
    if (!rt.killSwitch->enabled()) rt.killSwitch->disable();
    else rt.killSwitch->apply(false);
}

}  // namespace

void StopStaleOpenVpn(Tunnel& rt) {
    TunnelControl& tunnel = rt.control;
    std::shared_ptr<platform::Socket> socket;
    {
        std::lock_guard lock(tunnel.lock);
        socket = tunnel.state.managementSocket;
    }
    if (!socket) {
        // An OpenVPN from an earlier run may still listen: ask it to end and wait for its port to close.
        platform::Socket stale = ManagementConnect(rt.services.managementPort);
        if (stale.valid()) {
            ManagementSend(stale, "signal SIGTERM");
            stale.close();
            waitForPortToClose(rt.services.managementPort, 30, 50);
        }
    } else {
        ManagementSend(*socket, "signal SIGTERM");
    }
    rt.reader.stop();
    std::shared_ptr<platform::ProcessHandle> process;
    {
        std::lock_guard lock(tunnel.lock);
        tunnel.state.managementSocket.reset();
        process = std::move(tunnel.state.process);
    }
    if (process) platform::waitForExit(*process, 2000);
}

void Tunnel::connect(std::string profileId, std::string configFileName, std::string username, std::string password,
                     const Promise<JSValueObject>& promise) {
    startWorker(*services.threads, "connectOvpn", promise,
                [self = shared_from_this(), profileId = std::move(profileId), configFileName = std::move(configFileName), username = std::move(username),
                 password = std::move(password)](const Promise<JSValueObject>& p) {
                    p.resolve(connectWorker(*self, profileId, configFileName, username, password));
                });
}

void Tunnel::disconnect(const Promise<JSValueObject>& promise) {
    startWorker(*services.threads, "disconnect", promise, [self = shared_from_this()](const Promise<JSValueObject>& p) {
        disconnectWorker(*self);
        p.resolve(JSValueObject{{"state", JSValue(kStatusDisconnected)}});
    });
}

JSValueObject Tunnel::status() {
    Tunnel& rt = *this;
    if (!rt.control.recoveryDone.exchange(true)) RecoverSession(rt);
    std::string status, message, profileId;
    PathText logPath;
    std::shared_ptr<platform::ProcessHandle> process;
    {
        std::lock_guard lock(rt.control.lock);
        status = rt.control.state.status;
        message = rt.control.state.message;
        profileId = rt.control.state.profileId;
        logPath = rt.control.state.logPath;
        process = rt.control.state.process;
    }
    std::int64_t pid = 0;
    if (process) {
        std::uint32_t code = 0;
        if (!platform::queryExitCode(*process, code) || code == platform::kStillActive) {
            pid = platform::processId(*process);
        } else {
            // OpenVPN has ended: say so, without changing the record.
            if (status == kStatusConnecting || status == kStatusConnected) status = kStatusDisconnected;
            if (message.empty()) message = ClassifyOpenVpnLog(logPath);
        }
    }
    JSValueObject result;
    result["state"] = JSValue(status.empty() ? std::string(kStatusDisconnected) : status);
    if (!message.empty()) result["message"] = JSValue(message);
    if (!profileId.empty()) result["profileId"] = JSValue(profileId);
    if (pid > 0) result["pid"] = JSValue(pid);
    std::pair<double, double> rates{0, 0};
    if (status == kStatusConnected) rates = rt.traffic.SampleTraffic(*rt.services.adapters, *rt.services.clock);
    else rt.traffic.ResetTraffic();
    for (const auto& [key, value] : trafficRates(rates)) result[key] = value;
    return result;
}

}  // namespace varnel
