#pragma once
// Running processes by executable file name, and ending them without asking.

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::platform {

struct ProcessEntry {
    std::uint32_t pid = 0;
    // The executable's file name without its folder, UTF-8, spelled as the system reports it.
    std::string exeName;
};

// One snapshot of every process the system lets us see, in the system's order; empty when the
// snapshot fails.
std::vector<ProcessEntry> listProcesses();

// Ends the process at once (exit code 0 on Windows, SIGKILL on Linux). False when it cannot be opened
// or ended: another user's, protected, or already gone.
bool terminateProcess(std::uint32_t pid);

std::uint32_t currentProcessId();

}  // namespace varnel::platform
