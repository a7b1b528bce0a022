#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/text.h"
#include "support/child_process.h"

namespace varnel::test {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

void closeHandle(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

// Quoted so that the child's parser gives back exactly arg: backslashes doubled only before a quote.
std::u16string quoted(const std::u16string& arg) {
    if (!arg.empty() && arg.find_first_of(u" \t\n\v\"") == std::u16string::npos) return arg;
    std::u16string out = u"\"";
    std::size_t backslashes = 0;
    for (const char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, u'\\');
    return out + u'"';
}

// Its one handle is closed only by the system as the test program ends, killing what of ours still runs.
HANDLE childrenJob() {
    static const HANDLE job = [] {
        const HANDLE made = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made == nullptr || !SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits))
            fail("CreateJobObject");
        return made;
    }();
    return job;
}

}  // namespace

struct ChildProcess::Impl {
    std::string program;
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;

    ~Impl() {
        closeHandle(input);
        if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
        }
        closeHandle(output);
        closeHandle(process);
    }
};

ChildProcess ChildProcess::start(const std::string& program, const std::vector<std::string>& args) {
    auto impl = std::make_unique<Impl>();
    impl->program = program;
    // Only these are inherited, so that no other child holds one of our ends open and holds off end of file.
    HANDLE inherited[3] = {nullptr, nullptr, nullptr};
    if (!CreatePipe(&inherited[0], &impl->input, nullptr, 0) || !CreatePipe(&impl->output, &inherited[1], nullptr, 0))
        fail("CreatePipe");
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &inherited[2], 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
    for (const HANDLE handle : inherited) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listStorage(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listStorage.data());
    const bool listed = InitializeProcThreadAttributeList(list, 1, 0, &listSize) &&
                        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                  (inherited[2] != nullptr ? 3 : 2) * sizeof(HANDLE), nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inherited[0];
    startup.StartupInfo.hStdOutput = inherited[1];
    startup.StartupInfo.hStdError = inherited[2];
    startup.lpAttributeList = list;

    const std::u16string application = platform::utf8ToWide(program);
    std::u16string commandLine = u"\"" + application + u"\"";
    for (const std::string& arg : args) commandLine += u" " + quoted(platform::utf8ToWide(arg));

    // Suspended until it is in the job, so that nothing it starts escapes the job either.
    PROCESS_INFORMATION info{};
    const BOOL started = listed && CreateProcessW(reinterpret_cast<LPCWSTR>(application.c_str()),
                                                  reinterpret_cast<LPWSTR>(commandLine.data()), nullptr, nullptr, TRUE,
                                                  EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr, nullptr,
                                                  &startup.StartupInfo, &info);
    const DWORD error = GetLastError();
    if (listed) DeleteProcThreadAttributeList(list);
    for (HANDLE& handle : inherited) closeHandle(handle);
    SetLastError(error);
    if (!started) fail("Cannot start " + program);
    impl->process = info.hProcess;
    const bool joined = AssignProcessToJobObject(childrenJob(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    if (!joined) {
        TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
        fail("AssignProcessToJobObject");
    }
    return ChildProcess(std::move(impl));
}

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;
ChildProcess::~ChildProcess() = default;

bool ChildProcess::writeLine(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (impl_->input == nullptr || !WriteFile(impl_->input, text.data() + done, chunk, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

void ChildProcess::closeInput() { closeHandle(impl_->input); }

std::size_t ChildProcess::readSome(char* buffer, std::size_t size) {
    // An anonymous pipe cannot be waited on with a time limit: it is peeked at.
    for (DWORD waited = 0;; waited += 5) {
        DWORD available = 0, count = 0;
        if (!PeekNamedPipe(impl_->output, nullptr, 0, nullptr, &available, nullptr)) return 0;
        if (available > 0) {
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(available, size));
            return ReadFile(impl_->output, buffer, wanted, &count, nullptr) ? count : 0;
        }
        if (waited > kPatience.count() * 1000)
            throw std::runtime_error(impl_->program + " wrote no output within " + std::to_string(kPatience.count()) + " s");
        Sleep(5);
    }
}

int ChildProcess::wait() {
    DWORD code = 0;
    if (WaitForSingleObject(impl_->process, static_cast<DWORD>(kPatience.count() * 1000)) != WAIT_OBJECT_0)
        throw std::runtime_error(impl_->program + " did not end within " + std::to_string(kPatience.count()) + " s");
    GetExitCodeProcess(impl_->process, &code);
    return static_cast<int>(code);
}

void ChildProcess::kill() {
    if (WaitForSingleObject(impl_->process, 0) != WAIT_OBJECT_0) TerminateProcess(impl_->process, 1);
}

void endDescendantsWithThisProgram() { AssignProcessToJobObject(childrenJob(), GetCurrentProcess()); }

}  // namespace varnel::test
