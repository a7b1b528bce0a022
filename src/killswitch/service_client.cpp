#include "killswitch/service_client.h"

#include "app/runtime.h"
#include "platform/killswitch_channel.h"

namespace varnel::killswitch {

std::string killSwitchTransact(const Runtime& runtime, std::string_view command) {
    std::string line;
    line.reserve(command.size() + 1);
    line.append(command).push_back('\n');
    return platform::exchangeKillSwitchBytes(runtime.killSwitchChannel, line).bytes;
}

}  // namespace varnel::killswitch
