#pragma once
// Processes the system starts or re-opens: the elevated launch, exit status, bounded waits and ids.
// A ProcessHandle owns what the system needs to follow one process; "none" is an invalid handle.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"

namespace varnel::platform {

// The exit code that a process still running reports.
inline constexpr std::uint32_t kStillActive = 259;
// The launch error of a declined elevation prompt.
inline constexpr std::uint32_t kErrorCancelled = 1223;

class ProcessHandle {
public:
    struct State;
    ProcessHandle();
    explicit ProcessHandle(std::unique_ptr<State> state);
    ProcessHandle(ProcessHandle&&) noexcept;
    ProcessHandle& operator=(ProcessHandle&&) noexcept;
    ~ProcessHandle();

    bool valid() const { return state_ != nullptr; }
    // Closes the handle (the process goes on).
    void reset();
    State* state() const { return state_.get(); }

private:
    std::unique_ptr<State> state_;
};

// False when the system cannot tell; code is kStillActive while the process runs.
bool queryExitCode(const ProcessHandle& process, std::uint32_t& code);
// Waits at most timeoutMs for the process to end; true when it has ended.
bool waitForExit(const ProcessHandle& process, std::uint32_t timeoutMs);
std::uint32_t processId(const ProcessHandle& process);
// Asks the process to end (SIGTERM on Linux, which OpenVPN handles as its own "signal SIGTERM";
// TerminateProcess on Windows). False when the system refuses, as for another user's process.
bool requestExit(const ProcessHandle& process);
// True when a launched process's exit code says the user dismissed the elevation prompt before the
// program ran (pkexec's 126 on Linux; Windows reports that at launch instead, as kErrorCancelled).
bool exitMeansElevationDismissed(const ProcessHandle& process, std::uint32_t exitCode);
// Re-opens a running process by id, for waiting and exit status only; none when that fails.
ProcessHandle openProcess(std::uint32_t pid);

struct LaunchResult {
    ProcessHandle process;    // none when the launch failed
    std::uint32_t error = 0;  // the system's error code when it failed (kErrorCancelled: declined)
};

// Starts program with administrator rights, hidden, with parameters as one command-line text
// (arguments separated by spaces; a double-quoted piece is one argument). The process runs on its
// own: it outlives the caller and inherits none of its standard streams.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual LaunchResult launchElevated(const PathText& program, const std::string& parameters) = 0;
};

std::shared_ptr<ProcessLauncher> systemProcessLauncher();

}  // namespace varnel::platform
