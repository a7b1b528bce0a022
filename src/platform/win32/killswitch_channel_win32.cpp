#include "platform/killswitch_channel.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/win32/unique_handle.h"

namespace varnel::platform {

std::string defaultKillSwitchChannel() { return "\\\\.\\pipe\\VarnelKillSwitch"; }

KillSwitchReply exchangeKillSwitchBytes(const std::string& channel, std::string_view bytes,
                                        const std::function<void(int opens)>& onBusy) {
    KillSwitchReply reply;
    const PathText name = utf8ToPathText(channel);
    UniqueHandle pipe;
    for (;;) {
        ++reply.opens;
        pipe.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (pipe.valid()) break;
        if (GetLastError() != ERROR_PIPE_BUSY) return reply;
        if (onBusy) onBusy(reply.opens);
        if (reply.opens == kKillSwitchOpenAttempts) return reply;
        if (!WaitNamedPipeW(name.c_str(), kKillSwitchBusyWaitMs)) return reply;
    }

    DWORD written = 0;
    WriteFile(pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);  // not checked
    char buffer[kKillSwitchReplyMax];
    DWORD read = 0;
    if (ReadFile(pipe.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) reply.bytes.assign(buffer, read);
    return reply;
}

}  // namespace varnel::platform
