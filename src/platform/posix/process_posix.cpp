#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/command_line.h"
#include "platform/posix/unique_fd.h"
#include "platform/process.h"

extern char** environ;

namespace varnel::platform {

// A process is followed through a pidfd, which works for our children and for processes re-opened
// by id alike. Our own children are also reaped, and their exit code kept, under mutex.
struct ProcessHandle::State {
    pid_t pid;
    UniqueFd pidfd;
    bool child;
    bool viaPkexec = false;
    std::mutex mutex;
    bool reaped = false;
    std::uint32_t exitCode = 0;
};

ProcessHandle::ProcessHandle(std::unique_ptr<State> state) : state_(std::move(state)) {}
ProcessHandle::ProcessHandle() = default;
ProcessHandle::~ProcessHandle() = default;
ProcessHandle::ProcessHandle(ProcessHandle&&) noexcept = default;
ProcessHandle& ProcessHandle::operator=(ProcessHandle&&) noexcept = default;
void ProcessHandle::reset() { state_.reset(); }

namespace {

UniqueFd openPidfd(pid_t pid) { return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))); }

ProcessHandle makeHandle(pid_t pid, bool child) {
    auto state = std::make_unique<ProcessHandle::State>();
    state->pid = pid;
    state->pidfd = openPidfd(pid);
    state->child = child;
    if (state->pidfd.valid()) ::fcntl(state->pidfd.get(), F_SETFD, FD_CLOEXEC);
    return ProcessHandle(std::move(state));
}

// Reaps our child if it has ended; true when it has (the code is then kept).
bool reapIfEnded(ProcessHandle::State& s) {
    std::lock_guard lock(s.mutex);
    if (s.reaped) return true;
    int status = 0;
    const pid_t done = ::waitpid(s.pid, &status, WNOHANG);
    if (done != s.pid) return false;
    s.reaped = true;
    s.exitCode = WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : 128u + static_cast<std::uint32_t>(WTERMSIG(status));
    return true;
}

bool pidfdSignalled(const ProcessHandle::State& s, int timeoutMs) {
    if (!s.pidfd.valid()) return ::kill(s.pid, 0) != 0 && errno == ESRCH;
    pollfd entry{s.pidfd.get(), POLLIN, 0};
    int ready;
    do ready = ::poll(&entry, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

bool queryExitCode(const ProcessHandle& process, std::uint32_t& code) {
    if (!process.valid()) return false;
    ProcessHandle::State& s = *process.state();
    if (s.child) {
        code = reapIfEnded(s) ? s.exitCode : kStillActive;
        return true;
    }
    // A process we did not start ends without telling us its code.
    code = pidfdSignalled(s, 0) ? 0 : kStillActive;
    return true;
}

bool waitForExit(const ProcessHandle& process, std::uint32_t timeoutMs) {
    if (!process.valid()) return false;
    ProcessHandle::State& s = *process.state();
    if (!s.pidfd.valid()) {
        // Without a pidfd, look every 10 ms.
        for (std::uint32_t waited = 0;; waited += 10) {
            std::uint32_t code;
            if (queryExitCode(process, code) && code != kStillActive) return true;
            if (waited >= timeoutMs) return false;
            ::usleep(10000);
        }
    }
    if (!pidfdSignalled(s, static_cast<int>(timeoutMs))) return false;
    if (s.child) reapIfEnded(s);
    return true;
}

std::uint32_t processId(const ProcessHandle& process) { return process.valid() ? static_cast<std::uint32_t>(process.state()->pid) : 0; }

bool requestExit(const ProcessHandle& process) {
    if (!process.valid()) return false;
    if (process.state()->pidfd.valid()) return ::syscall(SYS_pidfd_send_signal, process.state()->pidfd.get(), SIGTERM, nullptr, 0) == 0;
    return ::kill(process.state()->pid, SIGTERM) == 0;
}

bool exitMeansElevationDismissed(const ProcessHandle& process, std::uint32_t exitCode) {
    // Only a launch through pkexec can end this way: as root the program runs directly.
    return process.valid() && process.state()->viaPkexec && exitCode == 126;
}

ProcessHandle openProcess(std::uint32_t pid) {
    if (pid == 0) return ProcessHandle();
    // Only a process that exists gets a handle; makeHandle opens its own pidfd.
    if (!openPidfd(static_cast<pid_t>(pid)).valid()) return ProcessHandle();
    return makeHandle(static_cast<pid_t>(pid), false);
}

namespace {

// Runs the program directly when we are root, else through pkexec, which asks for authentication.
// The process gets a session of its own (so it outlives us), /dev/null as its standard streams and
// none of our other descriptors.
class SpawnLauncher final : public ProcessLauncher {
public:
    LaunchResult launchElevated(const PathText& program, const std::string& parameters) override {
        std::vector<std::string> args;
        const bool viaPkexec = ::geteuid() != 0;
        if (viaPkexec) args.push_back("/usr/bin/pkexec");
        args.push_back(program);
        for (std::string& a : splitParameters(parameters)) args.push_back(std::move(a));
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int fd = 0; fd <= 2; ++fd) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);

        pid_t pid = 0;
        const int error = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) return LaunchResult{ProcessHandle(), static_cast<std::uint32_t>(error)};
        ProcessHandle handle = makeHandle(pid, true);
        handle.state()->viaPkexec = viaPkexec;
        return LaunchResult{std::move(handle), 0};
    }
};

}  // namespace

std::shared_ptr<ProcessLauncher> systemProcessLauncher() { return std::make_shared<SpawnLauncher>(); }

}  // namespace varnel::platform
