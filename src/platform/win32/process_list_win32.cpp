#include <windows.h>
#include <tlhelp32.h>

#include "platform/process_list.h"
#include "platform/text.h"

namespace varnel::platform {

static_assert(sizeof(PROCESSENTRY32W) == 568);

std::vector<ProcessEntry> listProcesses() {
    std::vector<ProcessEntry> entries;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        std::size_t length = 0;
        while (length < MAX_PATH && entry.szExeFile[length] != L'\0') ++length;
        const std::u16string name(reinterpret_cast<const char16_t*>(entry.szExeFile), length);
        entries.push_back(ProcessEntry{entry.th32ProcessID, wideToUtf8(name)});
    }
    CloseHandle(snapshot);
    return entries;
}

bool terminateProcess(std::uint32_t pid) {
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (process == nullptr) return false;
    const bool ended = TerminateProcess(process, 0) != 0;
    CloseHandle(process);
    return ended;
}

std::uint32_t currentProcessId() { return GetCurrentProcessId(); }

}  // namespace varnel::platform
