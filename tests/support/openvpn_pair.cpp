#include "support/openvpn_pair.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/openvpn_install.h"
#include "support/loopback_server.h"
#include "support/test_helpers.h"
#include "support/wait_until.h"
#include "tunnel/management_client.h"

namespace varnel::test {

namespace fs = std::filesystem;

namespace {

void run(const std::string& program, const std::vector<std::string>& args) {
    ChildProcess child = ChildProcess::start(program, args);
    child.closeInput();
    std::string line;
    while (child.readLine(line)) {
    }
    if (child.wait() != 0) throw std::runtime_error(program + " failed");
}

void makePki(const fs::path& dir) {
    const std::string openssl = "/usr/bin/openssl";
    const std::string d = dir.string() + "/";
    const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    auto with = [&](std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    run(openssl, with(with({"req", "-x509"}, ec), {"-keyout", d + "ca.key", "-out", d + "ca.crt", "-days", "2", "-subj", "/CN=Varnel Test CA"}));
    run(openssl, with(with({"req"}, ec), {"-keyout", d + "server.key", "-out", d + "server.csr", "-subj", "/CN=server"}));
    run(openssl, {"x509", "-req", "-in", d + "server.csr", "-CA", d + "ca.crt", "-CAkey", d + "ca.key", "-CAcreateserial", "-out",
                  d + "server.crt", "-days", "2"});
}

}  // namespace

std::string OpenVpnServer::openVpnProgram() {
    for (const auto& candidate : platform::installedOpenVpnCandidates())
        if (fs::exists(candidate)) return fs::path(candidate).string();
    return {};
}

std::string OpenVpnServer::unavailableReason() {
    if (platform::kPathSeparator != '/') return "the OpenVPN pair runs on Linux";
    if (openVpnProgram().empty()) return "openvpn is not installed (scripts/setup installs it)";
    if (!fs::exists("/dev/net/tun")) return "/dev/net/tun is missing";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Uid:", 0) == 0 && line.find("\t0\t") == std::string::npos) return "not running as root";
    if (!fs::exists("/usr/bin/openssl")) return "openssl is not installed";
    return {};
}

std::uint16_t freeLoopbackPort() {
    LoopbackServer probe;
    return probe.port();  // released again when probe goes; the kernel hands ports out in turn
}

OpenVpnServer::OpenVpnServer(const OpenVpnServerOptions& options) {
    const fs::path d = dir_.path();
    makePki(d);
    // The server's own copy, under a name of its own.
    const fs::path program = d / "varnel-test-vpn-server";
    fs::copy_file(openVpnProgram(), program);
    std::ofstream(d / "check.sh") << "#!/bin/sh\n"
                                     "{ read -r user; read -r pass; } < \"$1\"\n"
                                     "[ \"$user\" = '" << kVpnUser << "' ] && [ \"$pass\" = '" << kVpnPassword << "' ]\n";
    fs::permissions(d / "check.sh", fs::perms::owner_all);
    port_ = options.port != 0 ? options.port : freeLoopbackPort();
    std::ofstream(d / "server.conf") << "mode server\ntls-server\nproto " << options.proto << "\nlocal " << options.local
                                     << "\nport " << port_ << "\ndev tun\ntopology subnet\nifconfig " << kTunnelAddress
                                     << " 255.255.255.0\n"
                                        "ifconfig-pool 10.213.7.10 10.213.7.100 255.255.255.0\npush \"topology subnet\"\n"
                                     << (options.configureTun ? "" : "ifconfig-noexec\nroute-noexec\n")
                                     << "ca ca.crt\ncert server.crt\nkey server.key\ndh none\n"
                                        "verify-client-cert none\nusername-as-common-name\n"
                                        "script-security 2\nauth-user-pass-verify check.sh via-file\n"
                                        "keepalive 10 60\nverb 3\nlog server.log\n";
    std::vector<std::string> command = options.launcher;
    command.push_back(program.string());
    command.insert(command.end(), {"--cd", d.string(), "--config", "server.conf"});
    server_ = std::make_unique<ChildProcess>(
        ChildProcess::start(command.front(), std::vector<std::string>(command.begin() + 1, command.end())));
    if (!waitUntil([&] { return fileBytes(d / "server.log").find("Initialization Sequence Completed") != std::string::npos; }))
        throw std::runtime_error("the test OpenVPN server did not start:\n" + fileBytes(d / "server.log"));
}

OpenVpnServer::~OpenVpnServer() = default;  // the child is killed and reaped with server_

std::string OpenVpnServer::clientProfile(const std::string& extraLines) const {
    return "client\ndev null\nproto tcp-client\nremote 127.0.0.1 " + std::to_string(port_) +
           "\nifconfig-noexec\nroute-noexec\nnobind\nverb 3\n<ca>\n" + caCertificate() + "</ca>\n" + extraLines;
}

std::string OpenVpnServer::caCertificate() const {
    return fileBytes(dir_.path() / "ca.crt");
}

}  // namespace varnel::test
