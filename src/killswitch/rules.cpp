#include "killswitch/rules.h"

#include <mutex>

#include "app/runtime.h"
#include "killswitch/service_client.h"
#include "platform/files.h"

namespace varnel::killswitch {

std::string composeEnableCommand(std::string_view protocol, std::int32_t port, bool sessionWanted,
                                 std::string_view addresses, std::string_view programUtf8) {
    std::string command = "ENABLE ";
    command.append(protocol.empty() ? std::string_view("any") : protocol);
    command.append(" ").append(std::to_string(port));
    command.append(sessionWanted ? " 1 " : " 0 ");
    command.append(addresses.empty() ? std::string_view("none") : addresses);
    command.append(" ").append(programUtf8);
    return command;
}

void applyKillSwitch(Runtime& runtime, bool sessionWanted) {
    std::string protocol, addresses;
    std::int32_t port = 0;
    {
        std::lock_guard guard(runtime.tunnel.lock);
        protocol = runtime.tunnel.state.serverProtocol;
        port = runtime.tunnel.state.serverPort;
        addresses = runtime.tunnel.state.serverAddress;
    }
    if (addresses.empty() && sessionWanted) return;
    const std::string program = platform::pathTextToUtf8(runtime.executablePath);
    killSwitchTransact(runtime, composeEnableCommand(protocol, port, sessionWanted, addresses, program));
}

}  // namespace varnel::killswitch
