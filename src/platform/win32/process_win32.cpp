#include <windows.h>
#include <shellapi.h>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/win32/unique_handle.h"

namespace varnel::platform {

struct ProcessHandle::State {
    UniqueHandle handle;
};

ProcessHandle::ProcessHandle(std::unique_ptr<State> state) : state_(std::move(state)) {}
ProcessHandle::ProcessHandle() = default;
ProcessHandle::~ProcessHandle() = default;
ProcessHandle::ProcessHandle(ProcessHandle&&) noexcept = default;
ProcessHandle& ProcessHandle::operator=(ProcessHandle&&) noexcept = default;
void ProcessHandle::reset() { state_.reset(); }

namespace {
// Both OpenProcess and ShellExecuteExW leave NULL where they give no process.
ProcessHandle wrap(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return ProcessHandle();
    return ProcessHandle(std::make_unique<ProcessHandle::State>(ProcessHandle::State{UniqueHandle(handle)}));
}
}  // namespace

bool queryExitCode(const ProcessHandle& process, std::uint32_t& code) {
    DWORD value = 0;
    if (!process.valid() || !GetExitCodeProcess(process.state()->handle.get(), &value)) return false;
    code = value;
    return true;
}

bool waitForExit(const ProcessHandle& process, std::uint32_t timeoutMs) {
    return process.valid() && WaitForSingleObject(process.state()->handle.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::uint32_t processId(const ProcessHandle& process) { return process.valid() ? GetProcessId(process.state()->handle.get()) : 0; }

bool requestExit(const ProcessHandle& process) { return process.valid() && TerminateProcess(process.state()->handle.get(), 1); }

bool exitMeansElevationDismissed(const ProcessHandle&, std::uint32_t) { return false; }

ProcessHandle openProcess(std::uint32_t pid) {
    return wrap(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
}

namespace {

class ShellLauncher final : public ProcessLauncher {
public:
    LaunchResult launchElevated(const PathText& program, const std::string& parameters) override {
        const std::u16string wideParameters = utf8ToWide(parameters);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.hwnd = nullptr;
        info.lpVerb = L"runas";
        info.lpFile = program.c_str();
        info.lpParameters = reinterpret_cast<LPCWSTR>(wideParameters.c_str());
        info.lpDirectory = nullptr;
        info.nShow = SW_HIDE;
        if (!ShellExecuteExW(&info)) return LaunchResult{ProcessHandle(), static_cast<std::uint32_t>(GetLastError())};
        return LaunchResult{wrap(info.hProcess), 0};
    }
};

}  // namespace

std::shared_ptr<ProcessLauncher> systemProcessLauncher() { return std::make_shared<ShellLauncher>(); }

}  // namespace varnel::platform
