// The real test server for tests that are not C++: prints {"password","port","profile","user"} and runs
// until stdin ends; where it cannot run, {"unavailable":REASON} and exit code 77.

#include <exception>
#include <iostream>

#include "app/json_writer.h"
#include "bridge/js_value_write.h"
#include "support/openvpn_pair.h"

int main() {
    using varnel::bridge::JSValue;
    const auto print = [](const varnel::bridge::JSValueObject& object) {
        varnel::JsonTextWriter writer;
        varnel::bridge::writeJSValue(writer, object);
        std::cout << writer.text() << std::endl;
    };
    if (const std::string reason = varnel::test::OpenVpnServer::unavailableReason(); !reason.empty()) {
        print({{"unavailable", JSValue(reason)}});
        return 77;
    }
    try {
        const varnel::test::OpenVpnServer server;
        print({{"port", JSValue(static_cast<std::int64_t>(server.port()))}, {"profile", JSValue(server.clientProfile())},
               {"user", JSValue(varnel::test::kVpnUser)}, {"password", JSValue(varnel::test::kVpnPassword)}});
        for (std::string line; std::getline(std::cin, line);) {
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
