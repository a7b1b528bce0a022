#include "support/openvpn_pair.h"

#include <fstream>
#include <stdexcept>

#include "platform/openvpn_install.h"
#include "support/loopback_server.h"
#include "support/test_helpers.h"
#include "support/wait_until.h"

namespace varnel::test {

namespace fs = std::filesystem;

std::string OpenVpnServer::openVpnProgram() {
    for (const auto& candidate : platform::installedOpenVpnCandidates())
        if (fs::exists(candidate)) return fs::path(candidate).string();
    return {};
}

std::string OpenVpnServer::unavailableReason() {
    if (platform::kPathSeparator != '/') return "the OpenVPN pair runs on Linux";
    if (openVpnProgram().empty()) return "openvpn is not installed (scripts/setup installs it)";
    if (!fs::exists("/usr/bin/openssl")) return "openssl is not installed";
    if (!fs::exists("/dev/net/tun")) return "/dev/net/tun is missing";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Uid:") && line.find("\t0\t") == std::string::npos) return "not running as root";
    return {};
}

std::uint16_t freeLoopbackPort() {
    return LoopbackServer().port();  // released again at once; the kernel hands ports out in turn
}

OpenVpnServer::OpenVpnServer(const OpenVpnServerOptions& options) : options_(options) {
    const fs::path d = dir_.path();
    // One self-signed certificate: the server's own, and the one the client trusts.
    ChildProcess openssl = ChildProcess::start(
        "/usr/bin/openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                             (d / "server.key").string(), "-out", (d / "server.crt").string(), "-days", "2", "-subj", "/CN=server"});
    if (openssl.wait() != 0) throw std::runtime_error("openssl could not make the test certificate");
    const fs::path program = d / "varnel-test-vpn-server";
    fs::copy_file(openVpnProgram(), program);
    std::ofstream(d / "check.sh") << "#!/bin/sh\n{ read -r user; read -r pass; } < \"$1\"\n[ \"$user\" = '" << kVpnUser
                                  << "' ] && [ \"$pass\" = '" << kVpnPassword << "' ]\n";
    fs::permissions(d / "check.sh", fs::perms::owner_all);
    port_ = options.port != 0 ? options.port : freeLoopbackPort();
    std::ofstream(d / "server.conf") << "mode server\ntls-server\nproto " << (options.udp ? "udp" : "tcp-server") << "\nlocal " << options.local
                                     << "\nport " << port_ << "\ndev tun\ntopology subnet\nifconfig " << kTunnelAddress
                                     << " 255.255.255.0\nifconfig-pool 10.213.7.10 10.213.7.100 255.255.255.0\n"
                                        "push \"topology subnet\"\n"
                                     << (options.configureTun ? "" : "ifconfig-noexec\nroute-noexec\n")
                                     << "ca server.crt\ncert server.crt\nkey server.key\ndh none\nverify-client-cert none\n"
                                        "username-as-common-name\nscript-security 2\nauth-user-pass-verify check.sh via-file\n"
                                        "keepalive 10 60\nverb 3\nlog server.log\n";
    std::vector<std::string> command = options.launcher;
    command.insert(command.end(), {program.string(), "--cd", d.string(), "--config", "server.conf"});
    server_.emplace(ChildProcess::start(command.front(), std::vector<std::string>(command.begin() + 1, command.end())));
    if (!waitUntil([&] { return fileBytes(d / "server.log").find("Initialization Sequence Completed") != std::string::npos; }))
        throw std::runtime_error("the test OpenVPN server did not start:\n" + fileBytes(d / "server.log"));
}

std::string OpenVpnServer::clientProfile() const {
    return std::string("client\ndev ") + (options_.configureTun ? "tun" : "null\nifconfig-noexec\nroute-noexec") + "\nproto " +
           (options_.udp ? "udp" : "tcp-client") + "\nremote " + options_.local + " " + std::to_string(port_) +
           "\nnobind\nconnect-retry-max 3\nverb 3\n<ca>\n" + fileBytes(dir_.path() / "server.crt") + "</ca>\n";
}

}  // namespace varnel::test
