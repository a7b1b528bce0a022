#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace varnel::test {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what, int error) {
    throw std::runtime_error(what + ": " + std::strerror(error));
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

int exitCodeOf(int status) {
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Both ends close on exec: only the ends the spawn duplicates onto stdin and stdout reach the child,
// so no other child started meanwhile keeps one of them open and holds off end of file.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe2", errno);
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        closeFd(read);
        closeFd(write);
    }
};

}  // namespace

struct ChildProcess::Impl {
    std::string program;
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    bool reaped = false;
    int exitCode = -1;

    ~Impl() {
        closeFd(input);
        if (!reaped) {
            ::kill(pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        closeFd(output);
    }

    bool tryReap(int options) {
        int status = 0;
        pid_t result;
        while ((result = ::waitpid(pid, &status, options)) < 0 && errno == EINTR) {
        }
        if (result < 0) fail("waitpid", errno);
        if (result == 0) return false;
        reaped = true;
        exitCode = exitCodeOf(status);
        return true;
    }
};

ChildProcess ChildProcess::start(const std::string& program, const std::vector<std::string>& args) {
    Pipe in;
    Pipe out;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);

    // The child starts with the signal handling a freshly started program expects, whatever the test
    // program has blocked or ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) fail("Cannot start " + program, error);

    auto impl = std::make_unique<Impl>();
    impl->program = program;
    impl->pid = pid;
    std::swap(impl->input, in.write);
    std::swap(impl->output, out.read);
    return ChildProcess(std::move(impl));
}

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;
ChildProcess::~ChildProcess() = default;

bool ChildProcess::writeLine(std::string_view line) {
    if (impl_->input < 0) return false;
    std::string text(line);
    text += '\n';

    // A child that has gone raises SIGPIPE, which would end the test program. The signal is held
    // back on this thread while writing, and one that came is taken before it is let through again.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool ok = true;
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(impl_->input, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            if (errno == EPIPE) {
                const timespec now{};
                while (::sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
                }
            }
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

void ChildProcess::closeInput() {
    closeFd(impl_->input);
}

std::size_t ChildProcess::readSome(char* buffer, std::size_t size) {
    if (impl_->output < 0) return 0;
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
        pollfd waitFor{impl_->output, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int ready = ::poll(&waitFor, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) fail("poll", errno);
        if (ready == 0)
            throw std::runtime_error(impl_->program + " wrote no output for " +
                                     std::to_string(kPatience.count()) + " s");
        const ssize_t count = ::read(impl_->output, buffer, size);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) fail("read", errno);
        return static_cast<std::size_t>(count);
    }
}

int ChildProcess::wait() {
    if (impl_->reaped) return impl_->exitCode;
    // Polled rather than blocking, so that a child that never ends fails the test after kPatience.
    const auto deadline = Clock::now() + kPatience;
    while (!impl_->tryReap(WNOHANG)) {
        if (Clock::now() >= deadline)
            throw std::runtime_error(impl_->program + " did not end within " + std::to_string(kPatience.count()) +
                                     " s");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return impl_->exitCode;
}

void ChildProcess::kill() {
    if (!impl_->reaped) ::kill(impl_->pid, SIGKILL);
}

}  // namespace varnel::test
