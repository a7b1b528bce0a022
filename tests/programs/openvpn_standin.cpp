// An OpenVPN stand-in for the lifecycle tests where no real OpenVPN can run (under Wine), or where a
// real one cannot produce a case on demand. It takes the command line the system builds, writes an
// OpenVPN-like log (each line flushed) and speaks enough of the management protocol for the system:
// greeting, "state on", "state", "signal SIGTERM".
//   varnel_openvpn_standin --config "PATH" [--auth-user-pass "PATH"] --log "PATH"
//       --management 127.0.0.1 PORT --verb 3 --connect-retry 2 --connect-timeout 10 [...]
//
// The config file chooses the scenario with a line "standin-behaviour X" (default connect) and the
// reported server with "remote HOST PORT" (default 127.0.0.1 1194):
//   connect        listens, moves CONNECTING .. ASSIGN_IP, then CONNECTED after about 300 ms
//   auth-failed    unless the auth file's second line is "secret": AUTH_FAILED, exit 1, never listens
//   no-management  logs and never listens; ends by itself after 60 s
//   exit-at-once   an options error, exit 1
// Whatever happens, it ends by itself after 120 s, so that one left behind by a failed test goes away.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/openvpn_install.h"
#include "support/loopback_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kLifetime = std::chrono::seconds(120);
constexpr auto kNoManagementLifetime = std::chrono::seconds(60);
constexpr auto kConnectTime = milliseconds(300);
// The system's reader asks for real-time reports a moment after it connects. The last step waits for
// the first command (at most this long), so that a slow start under Wine cannot lose the CONNECTED
// report to a reader that asked a little late.
constexpr auto kConnectedHold = std::chrono::seconds(3);
constexpr const char* kVersion = "2.6.14";

class Log {
public:
    void open(const std::string& path) {
        // Created through the platform helper so that on Linux the log is 0600 like our other files.
        varnel::platform::writeWholeFile(fs::path(path).native(), "");
        out_.open(fs::path(path), std::ios::app | std::ios::binary);
    }
    void line(const std::string& text) { bare(timestamp() + " " + text); }
    // Usage errors come out without a time stamp, as OpenVPN prints them.
    void bare(const std::string& text) {
        if (!out_.is_open()) return;
        out_ << text << "\n";
        out_.flush();
    }

private:
    static std::string timestamp() {
        const std::time_t now = std::time(nullptr);
        std::ostringstream text;
        text << std::put_time(std::localtime(&now), "%Y-%m-%d %H:%M:%S");
        return text.str();
    }
    std::ofstream out_;
};

struct Options {
    std::string config, authFile, logFile, passwordFile, commandLine;
    std::uint16_t port = 0;
    std::string error;  // the first problem with the command line
};

// Each option with the number of parameters it takes, as the system may pass them.
const std::map<std::string, int> kKnownOptions = {
    {"--config", 1},        {"--auth-user-pass", 1}, {"--log", 1},          {"--management", 2},
    {"--verb", 1},          {"--connect-retry", 1},  {"--connect-timeout", 1}, {"--ifconfig-ipv6", 2},
    {"--redirect-gateway", 1}, {"--block-ipv6", 0},  {"--windows-driver", 1},
};

bool isPathOption(const std::string& option) { return option == "--config" || option == "--auth-user-pass" || option == "--log"; }

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const auto known = kKnownOptions.find(option);
        // OpenVPN on Linux has no TAP driver choice and rejects the option.
        const bool rejected = option == "--windows-driver" && varnel::platform::openVpnDriverOption().empty();
        if (known == kKnownOptions.end() || rejected || i + known->second >= argc) {
            const std::string name = option.rfind("--", 0) == 0 ? option.substr(2) : option;
            if (options.error.empty())
                options.error = "Options error: Unrecognized option or missing parameter(s) in [CMD-LINE]:1: " + name + " (" + kVersion + ")";
            continue;
        }
        options.commandLine += (options.commandLine.empty() ? "" : " ") + option;
        for (int k = 1; k <= known->second; ++k) {
            const std::string value = argv[i + k];
            options.commandLine += isPathOption(option) ? " \"" + value + "\"" : " " + value;
        }
        if (option == "--config") options.config = argv[i + 1];
        if (option == "--auth-user-pass") options.authFile = argv[i + 1];
        if (option == "--log") options.logFile = argv[i + 1];
        if (option == "--management") options.port = static_cast<std::uint16_t>(std::atoi(argv[i + 2]));
        i += known->second;
        // The management interface's optional third parameter: the file holding its password.
        if (option == "--management" && i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) {
            options.passwordFile = argv[++i];
            options.commandLine += " \"" + options.passwordFile + "\"";
        }
    }
    if (options.error.empty() && (options.config.empty() || options.logFile.empty() || options.port == 0))
        options.error = std::string("Options error: --config, --log and --management are required (") + kVersion + ")";
    return options;
}

struct Profile {
    std::string behaviour = "connect";
    std::string host = "127.0.0.1";
    std::string port = "1194";
};

std::optional<Profile> readProfile(const std::string& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) return std::nullopt;
    Profile profile;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "standin-behaviour") words >> profile.behaviour;
        if (keyword == "remote") {
            words >> profile.host;
            if (!(words >> profile.port)) profile.port = "1194";
        }
    }
    return profile;
}

// Line number `index` (from 0) of a file, without its CR; empty when there is none.
std::string fileLine(const std::string& path, int index) {
    std::ifstream in(fs::path(path), std::ios::binary);
    std::string line;
    for (int i = 0; i <= index; ++i)
        if (!std::getline(in, line)) return {};
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string unixTime() { return std::to_string(static_cast<long long>(std::time(nullptr))); }

// The steps of a connect, each with the time it may come and the fields after its name.
struct Step {
    milliseconds at;
    const char* name;
    const char* logText;
};
constexpr Step kSteps[] = {
    {milliseconds(0), "CONNECTING", "TCP/UDP: Preserving recently used remote address"},
    {milliseconds(60), "WAIT", "UDP link local: (not bound)"},
    {milliseconds(120), "AUTH", "TLS: Initial packet from the server"},
    {milliseconds(180), "GET_CONFIG", "SENT CONTROL [server]: 'PUSH_REQUEST' (status=1)"},
    {milliseconds(240), "ASSIGN_IP", "net_addr_v4_add: 10.8.0.2/24"},
    {kConnectTime, "CONNECTED", "Initialization Sequence Completed"},
};
constexpr std::size_t kStepCount = sizeof kSteps / sizeof kSteps[0];

class ManagementSession {
public:
    ManagementSession(Log& log, Profile profile, std::uint16_t port, std::string password)
        : log_(log), profile_(std::move(profile)), server_(port), password_(std::move(password)) {}

    // Serves management clients one at a time until "signal SIGTERM" (0) or the time limit (1).
    int run(Clock::time_point start) {
        while (Clock::now() - start < kLifetime) {
            advance(Clock::now() - start);
            if (!client_) {
                if (auto accepted = server_.acceptWithin(20)) {
                    client_.emplace(std::move(*accepted));
                    stateOn_ = false;
                    loggedIn_ = password_.empty();
                    if (loggedIn_) greet();
                    else client_->send("ENTER PASSWORD:");
                }
                continue;
            }
            std::string command;
            const auto read = client_->readLineWithin(command, 20);
            if (read == varnel::test::LoopbackConnection::Read::Closed) client_.reset();
            if (read != varnel::test::LoopbackConnection::Read::Line) continue;
            if (!loggedIn_) {
                // As OpenVPN does: a wrong password is asked for again, the right one answered.
                loggedIn_ = command == password_;
                if (loggedIn_) {
                    client_->send("SUCCESS: password is correct\r\n");
                    greet();
                } else {
                    client_->send("ENTER PASSWORD:");
                }
                continue;
            }
            if (command.empty()) continue;
            commandSeen_ = true;
            if (answer(command)) return 0;
        }
        log_.line("Stand-in time limit reached, process exiting");
        return 1;
    }

private:
    void greet() { client_->send(">INFO:OpenVPN Management Interface Version 5 -- type 'help' for more info\r\n"); }

    std::string fields(const char* name) const {
        const std::string state = name;
        if (state == "CONNECTED") return ",CONNECTED,SUCCESS,10.8.0.2," + profile_.host + "," + profile_.port + ",,";
        if (state == "ASSIGN_IP") return ",ASSIGN_IP,,10.8.0.2,,,,";
        return "," + state + ",,,,,,";
    }

    void advance(Clock::duration elapsed) {
        while (next_ < kStepCount && elapsed >= kSteps[next_].at) {
            const bool last = next_ + 1 == kStepCount;
            if (last && !commandSeen_ && elapsed < kConnectTime + kConnectedHold) return;
            current_ = kSteps[next_].name;
            log_.line(kSteps[next_].logText);
            if (client_ && stateOn_) client_->send(">STATE:" + unixTime() + fields(current_) + "\r\n");
            ++next_;
        }
    }

    // True when the process is to end.
    bool answer(const std::string& command) {
        if (command == "state on" || command == "state off") {
            stateOn_ = command == "state on";
            client_->send(std::string("SUCCESS: real-time state notification set to ") + (stateOn_ ? "ON" : "OFF") + "\r\n");
        } else if (command == "state") {
            client_->send(unixTime() + fields(current_) + "\r\nEND\r\n");
        } else if (command == "signal SIGTERM") {
            client_->send("SUCCESS: signal SIGTERM thrown\r\n");
            if (stateOn_) client_->send(">STATE:" + unixTime() + ",EXITING,SIGTERM,,,,,\r\n");
            log_.line("SIGTERM[hard,] received, process exiting");
            client_->close();
            return true;
        } else {
            client_->send("ERROR: unknown command, enter 'help' for more options\r\n");
        }
        return false;
    }

    Log& log_;
    const Profile profile_;
    varnel::test::LoopbackServer server_;
    std::optional<varnel::test::LoopbackConnection> client_;
    const std::string password_;
    bool loggedIn_ = false;
    bool stateOn_ = false;
    bool commandSeen_ = false;
    std::size_t next_ = 0;
    const char* current_ = kSteps[0].name;
};

int connect(Log& log, const Profile& profile, const Options& options, Clock::time_point start) {
    const std::uint16_t port = options.port;
    std::optional<ManagementSession> session;
    try {
        session.emplace(log, profile, port, options.passwordFile.empty() ? std::string() : fileLine(options.passwordFile, 0));
    } catch (const std::runtime_error&) {
        log.line("MANAGEMENT: Socket bind failed on local address [AF_INET]127.0.0.1:" + std::to_string(port) + ": Address already in use");
        log.line("Exiting due to fatal error");
        return 1;
    }
    log.line("MANAGEMENT: TCP Socket listening on [AF_INET]127.0.0.1:" + std::to_string(port));
    return session->run(start);
}

// OpenVPN's reaction to a command line or config it cannot use: a usage error and exit code 1.
int optionsError(Log& log, const std::string& error) {
    log.bare(error);
    log.bare("Use --help for more information.");
    return 1;
}

bool knownBehaviour(const std::string& behaviour) {
    return behaviour == "connect" || behaviour == "auth-failed" || behaviour == "no-management" || behaviour == "exit-at-once";
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point start = Clock::now();
    const Options options = parseOptions(argc, argv);
    Log log;
    if (!options.logFile.empty()) log.open(options.logFile);
    if (!options.error.empty()) return optionsError(log, options.error);
    const std::optional<Profile> profile = readProfile(options.config);
    if (!profile) return optionsError(log, "Options error: In [CMD-LINE]:1: Error opening configuration file: " + options.config);
    const std::string& behaviour = profile->behaviour;
    if (!knownBehaviour(behaviour))
        return optionsError(log, "Options error: Unrecognized option or missing parameter(s) in " + options.config + ": standin-behaviour " + behaviour + " (" + kVersion + ")");
    if (behaviour == "exit-at-once") return optionsError(log, std::string("Options error: Unrecognized option or missing parameter(s) in x.ovpn:1: bogus (") + kVersion + ")");

    log.line(std::string("OpenVPN ") + kVersion + " stand-in for tests");
    log.line("Command line: " + options.commandLine);
    const std::string remote = "[AF_INET]" + profile->host + ":" + profile->port;

    if (behaviour == "connect" || (behaviour == "auth-failed" && fileLine(options.authFile, 1) == "secret"))
        return connect(log, *profile, options, start);
    if (behaviour == "auth-failed") {
        log.line("TCP/UDP: Preserving recently used remote address: " + remote);
        log.line("UDP link remote: " + remote);
        log.line("AUTH: Received control message: AUTH_FAILED");
        log.line("SIGTERM[soft,auth-failure] received, process exiting");
        return 1;
    }
    // no-management: a start that never gets as far as the management interface.
    log.line("TCP/UDP: Preserving recently used remote address: " + remote);
    log.line("UDP link remote: " + remote);
    std::this_thread::sleep_until(start + kNoManagementLifetime);
    log.line("Stand-in time limit reached, process exiting");
    return 1;
}
