// OpenVPN where none can run (Wine): the system's command line, a log, the management commands it
// uses, only the test user, and the profile left unread; CONNECTED after 300 ms. It ends with the
// program named by VARNEL_TEST_PID, or after 120 s.

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "platform/files.h"
#include "platform/process.h"
#include "support/loopback_server.h"
#include "support/openvpn_pair.h"

namespace {

namespace fs = std::filesystem;
using varnel::test::LoopbackConnection;

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) all.push_back(line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1));
    return all;
}

std::string now() { return std::to_string(static_cast<long long>(std::time(nullptr))); }

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::vector<std::string>> options;  // each option with the words after it
    for (int i = 1, option = 0; i < argc; ++i) {
        if (std::string(argv[i]).starts_with("--")) option = i;
        if (option != 0 && option != i) options[argv[option]].push_back(argv[i]);
    }
    const auto arg = [&](const char* option, std::size_t index = 0) {
        return index < options[option].size() ? options[option][index] : std::string();
    };
    if (arg("--config").empty() || arg("--log").empty() || arg("--management", 1).empty()) return 2;
    const std::string remote = "127.0.0.1,1194";  // the tests' profile names no other
    varnel::platform::writeWholeFile(fs::u8path(arg("--log")).native(), "");  // 0600 on Linux, as OpenVPN's
    std::ofstream log(fs::u8path(arg("--log")), std::ios::app | std::ios::binary);
    const auto say = [&](const std::string& text) { log << text << "\n" << std::flush; };
    say("OpenVPN 2.6.14 stand-in for tests");
    if (lines(arg("--auth-user-pass")) != std::vector<std::string>{varnel::test::kVpnUser, varnel::test::kVpnPassword}) {
        say("AUTH: Received control message: AUTH_FAILED");
        say("SIGTERM[soft,auth-failure] received, process exiting");
        return 1;
    }
    const std::vector<std::string> password = lines(arg("--management", 2));  // none: no password asked for

    const char* testPid = std::getenv("VARNEL_TEST_PID");
    const varnel::platform::ProcessHandle test = varnel::platform::openProcess(testPid ? std::stoul(testPid) : 0);
    const auto start = std::chrono::steady_clock::now();
    std::optional<varnel::test::LoopbackServer> server;
    try {
        server.emplace(static_cast<std::uint16_t>(std::stoi(arg("--management", 1))));
    } catch (const std::exception&) {
        say("MANAGEMENT: Socket bind failed on local address: Address already in use");
        return 1;
    }
    std::optional<LoopbackConnection> client;
    bool connected = false, stateOn = false, loggedIn = false;
    const auto greet = [&] { client->send(">INFO:OpenVPN Management Interface Version 5 -- type 'help' for more info\r\n"); };
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(120) && !(test.valid() && varnel::platform::waitForExit(test, 0))) {
        if (!connected && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(300)) {
            connected = true;
            say("Initialization Sequence Completed");
            if (client && stateOn) client->send(">STATE:" + now() + ",CONNECTED,SUCCESS,10.8.0.2," + remote + ",,\r\n");
        }
        if (!client) {
            if ((client = server->acceptWithin(20))) {
                stateOn = false;
                loggedIn = password.empty();
                if (loggedIn) greet();
                else client->send("ENTER PASSWORD:");
            }
            continue;
        }
        std::string command;
        const LoopbackConnection::Read read = client->readLineWithin(command, 20);
        if (read == LoopbackConnection::Read::Closed) client.reset();
        if (read != LoopbackConnection::Read::Line) continue;
        if (!loggedIn) {
            // As OpenVPN does: a wrong password is asked for again, the right one answered.
            loggedIn = command == password[0];
            client->send(loggedIn ? "SUCCESS: password is correct\r\n" : "ENTER PASSWORD:");
            if (loggedIn) greet();
        } else if (command == "state on") {
            stateOn = true;
            client->send("SUCCESS: real-time state notification set to ON\r\n");
        } else if (command == "state") {
            client->send(now() + (connected ? ",CONNECTED,SUCCESS,10.8.0.2," + remote + ",," : ",CONNECTING,,,,,,") + "\r\nEND\r\n");
        } else if (command == "signal SIGTERM") {
            client->send("SUCCESS: signal SIGTERM thrown\r\n");
            if (stateOn) client->send(">STATE:" + now() + ",EXITING,SIGTERM,,,,,\r\n");
            say("SIGTERM[hard,] received, process exiting");
            return 0;
        } else {
            client->send("ERROR: unknown command, enter 'help' for more options\r\n");
        }
    }
    say("Stand-in left alone, process exiting");
    return 1;
}
