#pragma once
// A program a test talks to over stdin/stdout a line at a time; it dies with the test program.

#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "bridge/js_value_write.h"
#include "support/wait_until.h"

namespace varnel::test {

class ChildProcess {
public:
    // readLine() and wait() throw after this, so a hanging child fails with a message; Wine starts slowly.
    static constexpr std::chrono::seconds kPatience{60};

    // program is a path, not looked up; all UTF-8. Throws std::runtime_error when it cannot.
    static ChildProcess start(const std::string& program, const std::vector<std::string>& args = {});

    // Writes line and a line feed; false once the child no longer reads.
    bool writeLine(std::string_view line);
    void closeInput();
    // The next output line without its line feed (a last unterminated line as it is); false at the end.
    bool readLine(std::string& line);
    // The exit code once the child has ended (128 + signal for a signal, as a shell says); repeatable.
    int wait();
    void kill();

private:
    struct Impl;
    // Kills and reaps a child that is still running; being ours, it lets the compiler write moves and destructor.
    struct Delete { void operator()(Impl* impl) const; };
    explicit ChildProcess(Impl* impl) : impl_(impl) {}
    // At most size bytes; 0 or less at the end of the output.
    long readSome(char* buffer, std::size_t size);
    std::unique_ptr<Impl, Delete> impl_;
    std::string pending_;  // output read but not yet returned as a line
};

inline bool ChildProcess::readLine(std::string& line) {
    std::size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        char buffer[4096];
        const long count = readSome(buffer, sizeof buffer);
        if (count <= 0) {
            line = std::exchange(pending_, {});
            return !line.empty();
        }
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
    line.assign(pending_, 0, end);
    pending_.erase(0, end + 1);
    return true;
}

// Windows: whatever this program starts from now on ends with it (Linux: the stand-in watches VARNEL_TEST_PID).
void endDescendantsWithThisProgram();

// The host (a JSON request at a time) or the kill-switch service (its log), over stdio.
class StdioProgram {
public:
    explicit StdioProgram(const std::vector<std::string>& command)
        : child_(ChildProcess::start(command[0], {command.begin() + 1, command.end()})) {}
    ChildProcess& process() { return child_; }

    // Reads the log up to the first line that starts with prefix.
    bool waitForLog(const std::string& prefix) {
        for (std::string line; child_.readLine(line);) {
            log_ += "  " + line + "\n";
            if (line.starts_with(prefix)) return true;
        }
        return false;
    }
    const std::string& log() const { return log_; }

    // The answer's "result" (events in between are passed over); throws on an "error".
    bridge::JSValue call(const std::string& method, bridge::JSValueArray args = {}) {
        JsonTextWriter request;
        bridge::writeJSValue(request, bridge::JSValueObject{{"id", bridge::JSValue(++lastId_)}, {"method", bridge::JSValue(method)}, {"args", bridge::JSValue(args)}});
        child_.writeLine(request.text());
        for (std::string line; child_.readLine(line);) {
            const JsonParseResult parsed = parseJson(line);
            const bridge::JSValueObject* answer = parsed.value ? parsed.value->asObject() : nullptr;
            if (!answer || !answer->find("id") || *answer->find("id") != bridge::JSValue(lastId_)) continue;
            if (const bridge::JSValue* result = answer->find("result")) return *result;
            throw std::runtime_error(method + ": " + line);
        }
        throw std::runtime_error("the host ended during " + method);
    }
    std::string status(const char* key = "state") {
        const bridge::JSValue answer = call("getStatus");
        const bridge::JSValue* value = answer.asObject() ? answer.asObject()->find(key) : nullptr;
        if (value && value->asString()) return *value->asString();
        return value && value->asInt64() ? std::to_string(*value->asInt64()) : std::string();
    }
    bool waitForState(const std::string& state) {
        return waitUntil([&] { return status() == state; }, std::chrono::seconds(30));
    }

private:
    ChildProcess child_;
    std::string log_;
    std::int64_t lastId_ = 0;
};

}  // namespace varnel::test
