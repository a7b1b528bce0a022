#include "tunnel/session_recovery.h"

#include <chrono>
#include <thread>

#include "platform/openvpn_install.h"
#include "platform/process_list.h"
#include "tunnel/management_client.h"
#include "platform/listener.h"
#include "tunnel/connection.h"
#include "tunnel/management_reader.h"
#include "tunnel/management_secret.h"
#include "tunnel/session_record.h"
#include "tunnel/tunnel.h"

namespace varnel::tunnel {

namespace {

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The first process whose executable is OpenVPN's program; 0 when there is none.
std::uint32_t findOpenVpnProcess() {
    const std::string name = platform::pathTextToUtf8(platform::kOpenVpnProgramName);
    for (const platform::ProcessEntry& entry : platform::listProcesses())
        if (equalIgnoringAsciiCase(entry.exeName, name)) return entry.pid;
    return 0;
}

}  // namespace

std::string QueryManagementState(const platform::Socket& socket) {
    ManagementSend(socket, "state");
    std::string reply;
    char buffer[2048];
    for (int attempt = 0; attempt < 15; ++attempt) {
        if (platform::waitReadable(socket, 250) != platform::WaitResult::Readable) {
            if (!reply.empty()) break;
            continue;
        }
        const long n = platform::receiveSome(socket, buffer, 2047);
        if (n <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(n));
        if (reply.size() > 8192) break;
    }

    const char* answer = nullptr;
    std::string_view rest(reply);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (const auto name = stateNameOfReport(line))
            if (const char* word = MapOpenVpnState(*name)) answer = word;
    }
    if (answer) return answer;
    return reply.size() >= 11 && reply.find(",CONNECTED,") != std::string::npos ? kStatusConnected : kStatusConnecting;
}

void RecoverSession(Tunnel& owner) {
    TunnelControl& tunnel = owner.control;
    {
        std::lock_guard lock(tunnel.lock);
        if (tunnel.state.managementSocket || tunnel.state.status == kStatusConnected || tunnel.state.status == kStatusConnecting) return;
    }
    if (owner.reader.busy()) return;
    const std::shared_ptr<platform::Socket> socket = attachManagement(owner, 0, readManagementSecret(owner.services.dataFolder.managementSecretFile()));
    if (!socket) return;

    std::string state = QueryManagementState(*socket);
    if (state == kStatusConnecting) {
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
        state = QueryManagementState(*socket);
    }
    std::uint32_t pid = platform::loopbackListenerPid(owner.services.managementPort);
    if (pid == 0) pid = findOpenVpnProcess();
    const std::string profileId = readSessionRecord(owner.services.dataFolder.activeRecordFile());
    owner.killSwitch->restoreServerFromRecord();
    std::shared_ptr<platform::ProcessHandle> process;
    if (pid != 0) {
        platform::ProcessHandle opened = platform::openProcess(pid);
        if (opened.valid()) process = std::make_shared<platform::ProcessHandle>(std::move(opened));
    }
    {
        std::lock_guard lock(tunnel.lock);
        tunnel.state.managementSocket = socket;
        tunnel.state.status = state;
        tunnel.state.profileId = profileId;
        tunnel.state.process = std::move(process);
    }
    tunnel.sessionActive = true;
    startManagementReader(owner, socket);
}

}  // namespace varnel::tunnel
