#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/files.h"
#include "platform/process_list.h"

namespace varnel::platform {

namespace {

constexpr std::string_view kDeletedMark = " (deleted)";

// The file name of the process's executable as the link /proc/<pid>/exe names it. That link is
// unreadable for kernel threads, and for other users' processes unless we are root: those go by
// their command name (comm, at most 15 bytes), which is how the system lists them elsewhere.
std::string executableName(const std::string& pid) {
    const std::string folder = "/proc/" + pid;
    char target[PATH_MAX];
    const ssize_t n = ::readlink((folder + "/exe").c_str(), target, sizeof target);
    if (n > 0) {
        std::string path(target, static_cast<std::size_t>(n));
        // A program whose file was replaced or removed while it ran is still that program.
        if (path.size() > kDeletedMark.size() && path.ends_with(kDeletedMark)) path.resize(path.size() - kDeletedMark.size());
        return path.substr(path.rfind('/') + 1);
    }
    std::string comm = readWholeFile(folder + "/comm").value_or(std::string());
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

bool allDigits(const char* text) {
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

// A process that has ended but whose parent has not collected it yet (a zombie) runs no more; the
// state letter follows the command name in /proc/<pid>/stat.
bool hasEnded(const std::string& pid) {
    const std::string stat = readWholeFile("/proc/" + pid + "/stat").value_or(std::string());
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' || stat[close + 2] == 'X';
}

}  // namespace

std::vector<ProcessEntry> listProcesses() {
    std::vector<ProcessEntry> entries;
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (proc == nullptr) return entries;
    while (const dirent* item = ::readdir(proc.get())) {
        if (!allDigits(item->d_name) || hasEnded(item->d_name)) continue;
        std::string name = executableName(item->d_name);
        // Empty only for a process that ended while we looked.
        if (name.empty()) continue;
        entries.push_back(ProcessEntry{static_cast<std::uint32_t>(std::strtoul(item->d_name, nullptr, 10)), std::move(name)});
    }
    return entries;
}

bool terminateProcess(std::uint32_t pid) {
    // 0 and values past the pid range would signal whole process groups.
    if (pid == 0 || pid > static_cast<std::uint32_t>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

std::uint32_t currentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace varnel::platform
