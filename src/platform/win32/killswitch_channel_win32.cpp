#include "platform/killswitch_channel.h"

#include <windows.h>

#include "platform/files.h"

namespace varnel::platform {

std::string defaultKillSwitchChannel() { return "\\\\.\\pipe\\VarnelKillSwitch"; }

namespace {

// Finishes an overlapped write or read started with `started` as its result: waits until the
// deadline, then cancels it and waits for the cancellation, since the OVERLAPPED must outlive the
// operation. False when it failed or was cancelled.
bool finishBefore(HANDLE pipe, OVERLAPPED& operation, BOOL started, ULONGLONG deadline, DWORD& transferred) {
    transferred = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    const ULONGLONG now = GetTickCount64();
    if (WaitForSingleObject(operation.hEvent, deadline > now ? static_cast<DWORD>(deadline - now) : 0) != WAIT_OBJECT_0)
        CancelIoEx(pipe, &operation);
    return GetOverlappedResult(pipe, &operation, &transferred, TRUE) != FALSE;
}

}  // namespace

KillSwitchReply exchangeKillSwitchBytes(const std::string& channel, std::string_view bytes,
                                        const std::function<void(int opens)>& onBusy) {
    KillSwitchReply reply;
    const PathText name = utf8ToPathText(channel);
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        ++reply.opens;
        // Overlapped, so that a service that never answers can be given up on.
        pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) break;
        if (GetLastError() != ERROR_PIPE_BUSY) return reply;
        if (onBusy) onBusy(reply.opens);
        if (reply.opens == kKillSwitchOpenAttempts) return reply;
        if (!WaitNamedPipeW(name.c_str(), kKillSwitchBusyWaitMs)) return reply;
    }
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        CloseHandle(pipe);
        return reply;
    }

    const ULONGLONG deadline = GetTickCount64() + kKillSwitchReplyTimeoutMs;
    OVERLAPPED write{};
    write.hEvent = event;
    DWORD written = 0;
    // The write's result is not checked; a read follows all the same.
    finishBefore(pipe, write, WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &write), deadline, written);
    ResetEvent(event);
    OVERLAPPED read{};
    read.hEvent = event;
    char buffer[kKillSwitchReplyMax];
    DWORD got = 0;
    if (finishBefore(pipe, read, ReadFile(pipe, buffer, sizeof buffer, nullptr, &read), deadline, got) && got > 0)
        reply.bytes.assign(buffer, got);
    CloseHandle(event);
    CloseHandle(pipe);
    return reply;
}

}  // namespace varnel::platform
