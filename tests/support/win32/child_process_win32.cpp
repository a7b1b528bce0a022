#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/text.h"
#include "support/child_process.h"

namespace varnel::test {

namespace {

void closeHandle(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

// Quoted so that the child's parser gives back exactly arg: backslashes before a quote doubled, the quote escaped.
std::u16string quoted(const std::u16string& arg) {
    std::u16string out = u"\"";
    std::size_t backslashes = 0;
    for (const char16_t c : arg) {
        if (c == u'"') out.append(backslashes + 1, u'\\');
        backslashes = c == u'\\' ? backslashes + 1 : 0;
        out.push_back(c);
    }
    out.append(backslashes, u'\\');
    return out + u'"';
}

}  // namespace

// Children are in the job from their start; its one handle is closed only as the test program ends.
void endDescendantsWithThisProgram() {
    static const bool joined = [] {
        const HANDLE job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        return job != nullptr && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
               AssignProcessToJobObject(job, GetCurrentProcess());
    }();
    if (!joined) throw std::runtime_error("Cannot join the test program's job");
}

struct ChildProcess::Impl {
    std::string program;
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;

    // Killing is refused, changing nothing, once the child has ended or when it never started.
    ~Impl() {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        for (HANDLE* handle : {&input, &output, &process}) closeHandle(*handle);
    }
};

ChildProcess ChildProcess::start(const std::string& program, const std::vector<std::string>& args) {
    std::unique_ptr<Impl> impl(new Impl{program});
    // Only these are inherited, so that no other child holds one of our ends open and holds off end of file.
    HANDLE inherited[3] = {nullptr, nullptr, nullptr};
    if (!CreatePipe(&inherited[0], &impl->input, nullptr, 0) || !CreatePipe(&impl->output, &inherited[1], nullptr, 0))
        throw std::runtime_error("CreatePipe failed");
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

    endDescendantsWithThisProgram();
    PROCESS_INFORMATION info{};
    const BOOL started = listed && CreateProcessW(reinterpret_cast<LPCWSTR>(application.c_str()),
                                                  reinterpret_cast<LPWSTR>(commandLine.data()), nullptr, nullptr, TRUE,
                                                  EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                                  &startup.StartupInfo, &info);
    if (listed) DeleteProcThreadAttributeList(list);
    for (HANDLE& handle : inherited) closeHandle(handle);
    if (!started) throw std::runtime_error("Cannot start " + program);
    impl->process = info.hProcess;
    CloseHandle(info.hThread);
    return ChildProcess(impl.release());
}

void ChildProcess::Delete::operator()(Impl* impl) const { delete impl; }

bool ChildProcess::writeLine(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    // A blocking pipe takes it all in one call.
    DWORD written = 0;
    return impl_->input != nullptr && WriteFile(impl_->input, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

void ChildProcess::closeInput() { closeHandle(impl_->input); }

long ChildProcess::readSome(char* buffer, std::size_t size) {
    // An anonymous pipe cannot be waited on with a time limit: it is peeked at. A broken pipe is the end.
    DWORD available = 0, count = 0;
    bool ended = false;
    if (!waitUntil([&] { return (ended = !PeekNamedPipe(impl_->output, nullptr, 0, nullptr, &available, nullptr)) || available > 0; }, kPatience))
        throw std::runtime_error(impl_->program + " wrote nothing for " + std::to_string(kPatience.count()) + " s");
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(available, size));
    return !ended && ReadFile(impl_->output, buffer, wanted, &count, nullptr) ? count : 0;
}

int ChildProcess::wait() {
    DWORD code = 0;
    if (WaitForSingleObject(impl_->process, static_cast<DWORD>(kPatience.count() * 1000)) != WAIT_OBJECT_0)
        throw std::runtime_error(impl_->program + " did not end within " + std::to_string(kPatience.count()) + " s");
    GetExitCodeProcess(impl_->process, &code);
    return static_cast<int>(code);
}

void ChildProcess::kill() { TerminateProcess(impl_->process, 1); }

}  // namespace varnel::test
