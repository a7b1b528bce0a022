#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/socket.h"
#include "support/child_process.h"

namespace varnel::test {

// stdin and stdout are one end of a socket pair: MSG_NOSIGNAL spares us SIGPIPE, shutdown ends the input.
struct ChildProcess::Impl {
    std::string program;
    pid_t pid = -1;
    platform::Socket socket;
    int exitCode = -1;  // -1 until reaped

    ~Impl() {
        if (exitCode < 0) {
            ::kill(pid, SIGKILL);
            reap(0);
        }
    }
    bool reap(int options) {
        int status = 0;
        pid_t got;
        while ((got = ::waitpid(pid, &status, options)) < 0 && errno == EINTR) {
        }
        if (got <= 0) return false;
        exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        return true;
    }
};

void ChildProcess::Delete::operator()(Impl* impl) const { delete impl; }

ChildProcess ChildProcess::start(const std::string& program, const std::vector<std::string>& args) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) throw std::runtime_error("socketpair failed");
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls before exec: the test program has other threads.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(ends[1], STDIN_FILENO);
        ::dup2(ends[1], STDOUT_FILENO);
        ::close_range(3, ~0U, 0);  // no listener or connection of the test's stays open in the child
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    platform::Socket ours(ends[0]);
    if (pid < 0) throw std::runtime_error("Cannot fork to start " + program);
    return ChildProcess(new Impl{program, pid, std::move(ours)});
}

bool ChildProcess::writeLine(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::send(static_cast<int>(impl_->socket.native()), text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (written < 0 && errno != EINTR) return false;
        if (written > 0) done += static_cast<std::size_t>(written);
    }
    return true;
}

void ChildProcess::closeInput() { ::shutdown(static_cast<int>(impl_->socket.native()), SHUT_WR); }

long ChildProcess::readSome(char* buffer, std::size_t size) {
    if (platform::waitReadable(impl_->socket, static_cast<int>(kPatience.count() * 1000)) == platform::WaitResult::Timeout)
        throw std::runtime_error(impl_->program + " wrote nothing for " + std::to_string(kPatience.count()) + " s");
    return platform::receiveSome(impl_->socket, buffer, size);
}

int ChildProcess::wait() {
    if (!waitUntil([&] { return impl_->exitCode >= 0 || impl_->reap(WNOHANG); }, kPatience))
        throw std::runtime_error(impl_->program + " did not end within " + std::to_string(kPatience.count()) + " s");
    return impl_->exitCode;
}

void ChildProcess::kill() {
    if (impl_->exitCode < 0) ::kill(impl_->pid, SIGKILL);
}

void endDescendantsWithThisProgram() {}

}  // namespace varnel::test
