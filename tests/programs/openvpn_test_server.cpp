// The integration tests' real OpenVPN server on loopback, for tests that are not C++ (the desktop
// end-to-end test): one JSON line on standard output, then it runs until its standard input ends
// and takes the server and its throwaway CA with it. A test that dies without cleaning up still
// closes the pipe, so nothing outlives it.
//   varnel_openvpn_test_server
// Output: {"password":P,"port":N,"profile":CLIENT_PROFILE,"user":U}, or {"unavailable":REASON}
// and exit code 77 where the pair cannot run (not root, no OpenVPN, no /dev/net/tun).

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "app/json_writer.h"
#include "bridge/js_value_write.h"
#include "support/openvpn_pair.h"

namespace {

void printLine(const varnel::JSValueObject& object) {
    varnel::JsonTextWriter writer;
    varnel::writeJSValue(writer, object);
    std::cout << writer.text() << std::endl;
}

}  // namespace

int main() {
    using varnel::JSValue;
    if (const std::string reason = varnel::test::OpenVpnServer::unavailableReason(); !reason.empty()) {
        printLine({{"unavailable", JSValue(reason)}});
        return 77;
    }
    try {
        const varnel::test::OpenVpnServer server;
        printLine({{"port", JSValue(static_cast<std::int64_t>(server.port()))},
                   {"profile", JSValue(server.clientProfile())},
                   {"user", JSValue(varnel::test::kVpnUser)},
                   {"password", JSValue(varnel::test::kVpnPassword)}});
        for (std::string line; std::getline(std::cin, line);) {
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
