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
#include "tunnel/management_secret.h"
#include "storage/profile_names.h"
#include "tunnel/openvpn_program.h"
#include "tunnel/session_record.h"
#include "tunnel/session_recovery.h"
#include "tunnel/tap_setup.h"
#include "tunnel/tunnel.h"

namespace varnel::tunnel {

namespace fs = std::filesystem;
using platform::entryExists;
using platform::PathText;

namespace {

constexpr const char* kElevationDeclined = "Administrator access denied. Approve the UAC prompt to connect.";

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
    if (!entryExists(config)) throw bridge::Rejection("VPN config not found for profile: " + profileId);
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

bool hasEnded(const platform::ProcessHandle& process) {
    std::uint32_t code = 0;
    return platform::queryExitCode(process, code) && code != platform::kStillActive;
}

// Ends the OpenVPN this system runs: over its management connection when there is one; else through
// its process as launched, or, where the system refuses that, through the port once OpenVPN opens it;
// else whatever OpenVPN of ours (one an earlier run left) answers on the port. Then waits for it.
void endOpenVpn(Tunnel& rt, const std::shared_ptr<platform::Socket>& socket, const std::shared_ptr<platform::ProcessHandle>& process,
                int waitMs) {
    const std::string secret = readManagementSecret(rt.services.dataFolder.managementSecretFile());
    bool asked = false;
    if (socket) {
        ManagementSend(*socket, "signal SIGTERM");
        asked = true;
    } else if (process) {
        asked = platform::requestExit(*process);
    } else if (auto stale = attachManagement(rt, 0, secret)) {
        ManagementSend(*stale, "signal SIGTERM");
        asked = true;
    }
    if (process) {
        const std::uint32_t pid = platform::processId(*process);
        for (int waited = 0; !asked && waited < waitMs && !hasEnded(*process); waited += 100) {
            sleepMs(100);
            if (auto late = attachManagement(rt, pid, secret)) {
                ManagementSend(*late, "signal SIGTERM");
                asked = true;
            }
        }
        platform::waitForExit(*process, static_cast<std::uint32_t>(waitMs));
    } else if (asked) {
        waitForPortToClose(rt.services.managementPort, waitMs / 50, 50);
    }
}

// Ends the session's OpenVPN and its reader, as a disconnect and a new connect both must.
// Returns the process that was launched, if any, for the caller to see whether it has ended.
std::shared_ptr<platform::ProcessHandle> endSession(Tunnel& rt, int waitMs) {
    std::shared_ptr<platform::Socket> socket;
    std::shared_ptr<platform::ProcessHandle> process;
    {
        std::lock_guard lock(rt.control.lock);
        socket = rt.control.state.managementSocket;
        process = rt.control.state.process;
    }
    endOpenVpn(rt, socket, process, waitMs);
    rt.reader.stop();
    return process;
}

// Forgets the session: the state record and active.txt, and the management password unless the
// OpenVPN it opens may still run (a later start must still be able to reach and end it).
void clearSession(Tunnel& rt, const std::shared_ptr<platform::ProcessHandle>& process) {
    {
        std::lock_guard lock(rt.control.lock);
        TunnelState& state = rt.control.state;
        state.managementSocket.reset();
        state.process.reset();
        state.status = kStatusDisconnected;
        state.message.clear();
        state.profileId.clear();
        state.logPath.clear();
    }
    platform::removeFileQuietly(rt.services.dataFolder.activeRecordFile());
    if (!process || hasEnded(*process)) platform::removeFileQuietly(rt.services.dataFolder.managementSecretFile());
}

bridge::JSValueObject connectWorker(Tunnel& rt, const std::string& profileId, const std::string& configFileName, const std::string& username,
                            const std::string& password) {
    const TunnelServices& services = rt.services;
    // Both names become parts of paths and of OpenVPN's command line: one plain component each.
    storage::checkProfileId(profileId);
    storage::checkFileName(configFileName);
    const PathText openvpn = rt.openVpnProgram();
    if (openvpn.empty()) throw bridge::Rejection(std::string("OpenVPN not found. Install OpenVPN Community from ") + kOpenVpnDownloadPage);
    if (!ensureTapAdapter(*services.adapters, *services.launcher, services.discovery.locateTapInstaller(openvpn)))
        throw bridge::Rejection("No TAP-Windows network adapter is installed, and it could not be set up automatically. Install the TAP-Windows driver and retry.");
    StopStaleOpenVpn(rt);

    const PathText folder = services.dataFolder.profileDir(profileId);
    const PathText authPath = storage::DataFolder::child(folder, "auth.txt");
    if (!username.empty()) storage::writeAuthFile(authPath, username, password);
    const PathText configPath = findConfig(folder, configFileName, profileId);
    const PathText logPath = storage::DataFolder::child(folder, "openvpn.log");
    platform::removeFileQuietly(logPath);
    prepareKillSwitch(rt, configPath);

    const PathText secretPath = services.dataFolder.managementSecretFile();
    const std::string secret = newManagementSecret();
    if (!writeManagementSecret(secretPath, secret))
        throw bridge::Rejection("Could not write " + platform::pathTextToUtf8(secretPath));
    const std::string parameters = openVpnParameters(configPath, entryExists(authPath) ? authPath : PathText(), logPath,
                                                     services.managementPort, secretPath, rt.killSwitch->blockIpv6());
    platform::LaunchResult launch = services.launcher->launchElevated(openvpn, parameters);
    if (launch.error == platform::kErrorCancelled) throw bridge::Rejection(kElevationDeclined);
    if (launch.error != 0) throw bridge::Rejection("Failed to launch OpenVPN (error " + std::to_string(launch.error) + ")");

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

    const std::uint32_t pid = process ? platform::processId(*process) : 0;
    for (int attempt = 0; attempt < 150; ++attempt) {
        sleepMs(100);
        if (auto socket = attachManagement(rt, pid, secret)) {
            {
                std::lock_guard lock(rt.control.lock);
                rt.control.state.managementSocket = socket;
            }
            replaceManagementReader(rt, socket);
            return bridge::JSValueObject{{"state", bridge::JSValue(kStatusConnecting)}};
        }
        std::uint32_t code = 0;
        if (process && platform::queryExitCode(*process, code) && code != platform::kStillActive) {
            if (platform::exitMeansElevationDismissed(*process, code)) {
                rt.control.sessionActive = false;
                clearSession(rt, process);
                throw bridge::Rejection(kElevationDeclined);
            }
            throw bridge::Rejection(failure(rt, logPath, "OpenVPN exited before connecting. Check the config file or credentials."));
        }
    }
    // OpenVPN is left running: it may still come up, and the status shows what becomes of it.
    throw bridge::Rejection(failure(rt, logPath, "Could not connect to OpenVPN management interface. The VPN may have failed to start."));
}

void disconnectWorker(Tunnel& rt) {
    rt.control.sessionActive = false;
    clearSession(rt, endSession(rt, 3000));
    rt.killSwitch->deleteRecord();
    if (!rt.killSwitch->enabled()) rt.killSwitch->disable();
    else rt.killSwitch->apply(false);
}

}  // namespace

std::shared_ptr<platform::Socket> attachManagement(const Tunnel& rt, std::uint32_t pid, const std::string& secret) {
    const TunnelServices& services = rt.services;
    if (secret.empty()) return nullptr;
    platform::Socket socket = ManagementConnect(services.managementPort);
    if (!socket.valid() || !services.trustListener(services.managementPort, pid)) return nullptr;
    if (!ManagementLogin(socket, secret)) return nullptr;
    return std::make_shared<platform::Socket>(std::move(socket));
}

void StopStaleOpenVpn(Tunnel& rt) {
    endSession(rt, 2000);
    std::lock_guard lock(rt.control.lock);
    rt.control.state.managementSocket.reset();
    rt.control.state.process.reset();
}

void Tunnel::connect(std::string profileId, std::string configFileName, std::string username, std::string password,
                     const bridge::Promise<bridge::JSValueObject>& promise) {
    bridge::startWorker(*services.threads, "connectOvpn", promise,
                [self = shared_from_this(), turn = order->take(), profileId = std::move(profileId), configFileName = std::move(configFileName), username = std::move(username),
                 password = std::move(password)](const bridge::Promise<bridge::JSValueObject>& p) {
                    turn->wait();
                    p.resolve(connectWorker(*self, profileId, configFileName, username, password));
                });
}

void Tunnel::disconnect(const bridge::Promise<bridge::JSValueObject>& promise) {
    bridge::startWorker(*services.threads, "disconnect", promise, [self = shared_from_this(), turn = order->take()](const bridge::Promise<bridge::JSValueObject>& p) {
        turn->wait();
        disconnectWorker(*self);
        p.resolve(bridge::JSValueObject{{"state", bridge::JSValue(kStatusDisconnected)}});
    });
}

bridge::JSValueObject Tunnel::status() {
    // Recovery only ever adds a session this process does not know of: while a connect or disconnect
    // is under way or waiting, there is nothing for it to do.
    if (!control.recoveryDone.exchange(true) && order->idle()) {
        const auto turn = order->take();
        turn->wait();
        RecoverSession(*this);
    }
    std::string status, message, profileId;
    PathText logPath;
    std::shared_ptr<platform::ProcessHandle> process;
    {
        std::lock_guard lock(control.lock);
        status = control.state.status;
        message = control.state.message;
        profileId = control.state.profileId;
        logPath = control.state.logPath;
        process = control.state.process;
    }
    std::int64_t pid = 0;
    if (process) {
        if (!hasEnded(*process)) {
            pid = platform::processId(*process);
        } else {
            // OpenVPN has ended: say so, without changing the record.
            if (status == kStatusConnecting || status == kStatusConnected) status = kStatusDisconnected;
            if (message.empty()) message = ClassifyOpenVpnLog(logPath);
        }
    }
    bridge::JSValueObject result;
    result["state"] = bridge::JSValue(status.empty() ? std::string(kStatusDisconnected) : status);
    if (!message.empty()) result["message"] = bridge::JSValue(message);
    if (!profileId.empty()) result["profileId"] = bridge::JSValue(profileId);
    if (pid > 0) result["pid"] = bridge::JSValue(pid);
    for (const auto& [key, value] : ratesWhile(status)) result[key] = value;
    return result;
}

}  // namespace varnel::tunnel
