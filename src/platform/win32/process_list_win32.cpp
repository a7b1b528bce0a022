#include <windows.h>
#include <tlhelp32.h>

#include "platform/process_list.h"
#include "platform/text.h"
#include "platform/win32/unique_handle.h"

namespace varnel::platform {

static_assert(sizeof(PROCESSENTRY32W) == 568);

std::vector<ProcessEntry> listProcesses() {
    std::vector<ProcessEntry> entries;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        std::size_t length = 0;
        while (length < MAX_PATH && entry.szExeFile[length] != L'\0') ++length;
        const std::u16string name(reinterpret_cast<const char16_t*>(entry.szExeFile), length);
        entries.push_back(ProcessEntry{entry.th32ProcessID, wideToUtf8(name)});
    }
    return entries;
}

bool terminateProcess(std::uint32_t pid) {
    const HANDLE opened = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (opened == nullptr) return false;  // OpenProcess fails with NULL
    const UniqueHandle process(opened);
    return TerminateProcess(process.get(), 0) != 0;
}

std::uint32_t currentProcessId() { return GetCurrentProcessId(); }

}  // namespace varnel::platform
