#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "support/killswitch_service_double.h"

namespace varnel::test {

namespace {

std::string uniquePipeName(const char* stem) {
    static std::atomic<unsigned> counter{0};
    return std::string("\\\\.\\pipe\\") + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

// The server thread keeps one spare instance ready (created before the current one is closed), so
// that back-to-back clients never find the pipe missing. Busy: a filler client of the double's own
// takes the one instance and no spare is made, so every open reports ERROR_PIPE_BUSY.
struct KillSwitchServiceDouble::Impl {
    std::string channel;
    std::wstring name;
    HANDLE current = INVALID_HANDLE_VALUE;  // owned by the server thread once it runs

    mutable std::mutex mutex;  // guards everything below
    std::condition_variable changed;
    std::vector<std::string> received;
    std::string reply;
    bool silent = false;
    bool mute = false;
    bool busyWanted = false;
    bool parked = false;
    bool stopping = false;
    HANDLE filler = INVALID_HANDLE_VALUE;

    std::thread thread;

    HANDLE makeInstance() {
        return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
    }
    void run();
    void serve(HANDLE pipe);
};

void KillSwitchServiceDouble::Impl::run() {
    for (;;) {
        if (!ConnectNamedPipe(current, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            {
                std::lock_guard lock(mutex);
                if (stopping) break;
            }
            // A client that came and went before the connection was taken leaves the instance to reset.
            DisconnectNamedPipe(current);
            continue;
        }
        bool busy;
        {
            std::unique_lock lock(mutex);
            if (stopping) break;
            busy = busyWanted;
            if (busy) {
                // The client just connected is the filler: hold its instance until the test frees it.
                parked = true;
                changed.notify_all();
                changed.wait(lock, [this] { return !busyWanted || stopping; });
                parked = false;
                if (stopping) break;
            }
        }
        const HANDLE next = makeInstance();
        if (!busy) serve(current);
        DisconnectNamedPipe(current);
        CloseHandle(current);
        current = next;
    }
    CloseHandle(current);
    current = INVALID_HANDLE_VALUE;
}

void KillSwitchServiceDouble::Impl::serve(HANDLE pipe) {
    std::string line;
    char c;
    DWORD n = 0;
    while ((line.empty() || line.back() != '\n') && ReadFile(pipe, &c, 1, &n, nullptr) && n == 1) line += c;
    std::string answer;
    bool answerIt = false;
    bool holdIt = false;
    {
        std::lock_guard lock(mutex);
        if (!line.empty()) received.push_back(line);
        answer = reply;
        holdIt = mute;
        answerIt = !silent && !mute && !line.empty() && line.back() == '\n';
    }
    if (!answerIt && !holdIt) return;
    DWORD written = 0;
    if (answerIt) WriteFile(pipe, answer.data(), static_cast<DWORD>(answer.size()), &written, nullptr);
    // Disconnecting drops what the client has not read yet (or, mute, ends its wait): wait until it has closed.
    char rest[256];
    while (ReadFile(pipe, rest, sizeof rest, &n, nullptr)) {
    }
}

KillSwitchServiceDouble::KillSwitchServiceDouble(std::string reply, std::string channel) : impl_(std::make_unique<Impl>()) {
    impl_->reply = std::move(reply);
    impl_->channel = channel.empty() ? uniquePipeName("VarnelKillSwitchDouble") : std::move(channel);
    impl_->name = wide(impl_->channel);
    impl_->current = impl_->makeInstance();
    if (impl_->current == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create the pipe " + impl_->channel);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

KillSwitchServiceDouble::~KillSwitchServiceDouble() {
    HANDLE filler;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
        filler = impl_->filler;
        impl_->filler = INVALID_HANDLE_VALUE;
    }
    impl_->changed.notify_all();
    // A client of our own ends the thread's wait for a connection.
    const HANDLE waker = CreateFileW(impl_->name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    impl_->thread.join();
    if (waker != INVALID_HANDLE_VALUE) CloseHandle(waker);
    if (filler != INVALID_HANDLE_VALUE) CloseHandle(filler);
}

const std::string& KillSwitchServiceDouble::channel() const { return impl_->channel; }

std::vector<std::string> KillSwitchServiceDouble::received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void KillSwitchServiceDouble::setReply(std::string reply) {
    std::lock_guard lock(impl_->mutex);
    impl_->reply = std::move(reply);
}

void KillSwitchServiceDouble::setSilent(bool silent) {
    std::lock_guard lock(impl_->mutex);
    impl_->silent = silent;
}

void KillSwitchServiceDouble::setMute(bool mute) {
    std::lock_guard lock(impl_->mutex);
    impl_->mute = mute;
}

void KillSwitchServiceDouble::setBusy(bool busy) {
    if (busy) {
        {
            std::lock_guard lock(impl_->mutex);
            impl_->busyWanted = true;
        }
        HANDLE filler = INVALID_HANDLE_VALUE;
        // The spare instance may still be on its way from the last client; try for a while.
        for (int i = 0; i < 500 && filler == INVALID_HANDLE_VALUE; ++i) {
            filler = CreateFileW(impl_->name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (filler == INVALID_HANDLE_VALUE) Sleep(10);
        }
        if (filler == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot occupy the pipe " + impl_->channel);
        std::unique_lock lock(impl_->mutex);
        impl_->filler = filler;
        impl_->changed.wait(lock, [this] { return impl_->parked; });
        return;
    }
    HANDLE filler;
    {
        std::lock_guard lock(impl_->mutex);
        filler = impl_->filler;
        impl_->filler = INVALID_HANDLE_VALUE;
        impl_->busyWanted = false;
    }
    impl_->changed.notify_all();
    if (filler != INVALID_HANDLE_VALUE) CloseHandle(filler);
}

std::string absentKillSwitchChannel() { return uniquePipeName("VarnelKillSwitchAbsent"); }

}  // namespace varnel::test
