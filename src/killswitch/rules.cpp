#include "killswitch/rules.h"

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

}  // namespace varnel::killswitch
