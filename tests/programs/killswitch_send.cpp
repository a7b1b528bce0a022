// Sends one line to a kill-switch service the way the client does and prints the reply, so tests
// can speak to the service as another user (started under setpriv).
//   varnel_killswitch_send CHANNEL LINE

#include <cstdio>
#include <string>

#include "platform/killswitch_channel.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const auto reply = varnel::platform::exchangeKillSwitchBytes(argv[1], std::string(argv[2]) + "\n");
    std::fwrite(reply.bytes.data(), 1, reply.bytes.size(), stdout);
    return 0;
}
