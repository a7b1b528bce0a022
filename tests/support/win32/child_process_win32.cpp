#include "support/child_process.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/text.h"

namespace varnel::test {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

void closeHandle(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

std::wstring wide(const std::string& utf8) {
    const std::u16string text = platform::utf8ToWide(utf8);
    return std::wstring(text.begin(), text.end());
}

// Quoted so that the child's command-line parser gives back exactly arg: backslashes are literal
// except in front of a quote, where they are doubled, and the quote itself is escaped.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

// Neither end is inheritable until the child's end is made so, and the child is also given an explicit
// list of what it inherits: another child started meanwhile must not keep one of these ends open and
// hold off end of file.
struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    Pipe() {
        if (!CreatePipe(&read, &write, nullptr, 0)) fail("CreatePipe");
    }
    ~Pipe() {
        closeHandle(read);
        closeHandle(write);
    }
};

void makeInheritable(HANDLE handle) {
    if (!SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) fail("SetHandleInformation");
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
    Pipe in;
    Pipe out;
    makeInheritable(in.read);
    makeInheritable(out.write);

    // The child writes its complaints where the test program does.
    HANDLE errors = nullptr;
    const HANDLE ownErrors = GetStdHandle(STD_ERROR_HANDLE);
    if (ownErrors != nullptr && ownErrors != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), ownErrors, GetCurrentProcess(), &errors, 0, TRUE, DUPLICATE_SAME_ACCESS);

    HANDLE inherited[3] = {in.read, out.write, errors};
    const DWORD inheritedCount = errors != nullptr ? 3 : 2;
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listStorage(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listStorage.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize)) fail("InitializeProcThreadAttributeList");
    const bool listed = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                  inheritedCount * sizeof(HANDLE), nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = in.read;
    startup.StartupInfo.hStdOutput = out.write;
    startup.StartupInfo.hStdError = errors;
    startup.lpAttributeList = list;

    const std::wstring application = wide(program);
    std::wstring commandLine = L"\"" + application + L"\"";
    for (const std::string& arg : args) commandLine += L" " + quoted(wide(arg));

    PROCESS_INFORMATION info{};
    const BOOL started = listed && CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                                  EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                                  &startup.StartupInfo, &info);
    const DWORD error = GetLastError();
    DeleteProcThreadAttributeList(list);
    closeHandle(errors);
    if (!started) {
        SetLastError(error);
        fail("Cannot start " + program);
    }
    CloseHandle(info.hThread);

    auto impl = std::make_unique<Impl>();
    impl->program = program;
    impl->process = info.hProcess;
    std::swap(impl->input, in.write);
    std::swap(impl->output, out.read);
    return ChildProcess(std::move(impl));
}

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;
ChildProcess::~ChildProcess() = default;

bool ChildProcess::writeLine(std::string_view line) {
    if (impl_->input == nullptr) return false;
    std::string text(line);
    text += '\n';
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(impl_->input, text.data() + done, chunk, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

void ChildProcess::closeInput() {
    closeHandle(impl_->input);
}

std::size_t ChildProcess::readSome(char* buffer, std::size_t size) {
    if (impl_->output == nullptr) return 0;
    // An anonymous pipe cannot be waited on with a time limit, so it is looked into until output
    // comes, the writer goes, or patience runs out.
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(impl_->output, nullptr, 0, nullptr, &available, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
            fail("PeekNamedPipe");
        }
        if (available > 0) {
            DWORD count = 0;
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(available, size));
            if (!ReadFile(impl_->output, buffer, wanted, &count, nullptr)) {
                if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
                fail("ReadFile");
            }
            if (count > 0) return count;
        }
        if (Clock::now() >= deadline)
            throw std::runtime_error(impl_->program + " wrote no output for " + std::to_string(kPatience.count()) +
                                     " s");
        Sleep(5);
    }
}

int ChildProcess::wait() {
    const DWORD patience = static_cast<DWORD>(std::chrono::milliseconds(kPatience).count());
    const DWORD waited = WaitForSingleObject(impl_->process, patience);
    if (waited == WAIT_TIMEOUT)
        throw std::runtime_error(impl_->program + " did not end within " + std::to_string(kPatience.count()) + " s");
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(impl_->process, &code)) fail("Waiting for " + impl_->program);
    return static_cast<int>(code);
}

void ChildProcess::kill() {
    if (WaitForSingleObject(impl_->process, 0) != WAIT_OBJECT_0) TerminateProcess(impl_->process, 1);
}

}  // namespace varnel::test
