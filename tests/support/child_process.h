#pragma once
// A program started by a test, talked to over its stdin and stdout a line at a time. Its stderr is
// the test's own, so whatever the child complains about lands in the test log.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::test {

class ChildProcess {
public:
    // How long readLine() and wait() wait before they give up by throwing std::runtime_error: a child
    // that hangs fails its test with a message instead of stalling the whole run. Generous, because
    // under Wine starting a process alone can take seconds.
    static constexpr std::chrono::seconds kPatience{60};

    // Starts program (a path, not looked up in PATH) with args after the program name; all UTF-8.
    // Throws std::runtime_error when the program cannot be started.
    static ChildProcess start(const std::string& program, const std::vector<std::string>& args = {});

    ChildProcess(ChildProcess&&) noexcept;
    ChildProcess& operator=(ChildProcess&&) noexcept;
    // Kills and reaps a child that is still running.
    ~ChildProcess();

    // Writes line and a line feed. False once the child no longer reads its input.
    bool writeLine(std::string_view line);
    // Ends the child's input; a child reading it sees end of file.
    void closeInput();
    // The next output line without its line feed; a last line without one is returned as it is.
    // False at the end of the output.
    bool readLine(std::string& line);
    // Waits for the child to end and returns its exit code; a child ended by a signal gives 128 plus
    // the signal number, as a shell reports it. Can be called again and returns the same code.
    int wait();
    // Ends the child at once; wait() then returns a nonzero code.
    void kill();

private:
    struct Impl;
    explicit ChildProcess(std::unique_ptr<Impl> impl);
    // Reads what output is there, waiting up to kPatience for some; 0 at the end of the output.
    std::size_t readSome(char* buffer, std::size_t size);

    std::unique_ptr<Impl> impl_;
    std::string pending_;  // output read but not yet returned as a line
    bool outputEnded_ = false;
};

inline bool ChildProcess::readLine(std::string& line) {
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            line.assign(pending_, 0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        if (outputEnded_) {
            if (pending_.empty()) return false;
            line = std::move(pending_);
            pending_.clear();
            return true;
        }
        char buffer[4096];
        const std::size_t count = readSome(buffer, sizeof buffer);
        if (count == 0) outputEnded_ = true;
        pending_.append(buffer, count);
    }
}

}  // namespace varnel::test
