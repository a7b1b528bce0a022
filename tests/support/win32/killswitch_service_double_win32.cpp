#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "support/killswitch_service_double.h"

namespace varnel::test {

namespace {

std::string uniquePipeName(const char* stem) {
    static std::atomic<unsigned> counter{0};
    return std::string("\\\\.\\pipe\\") + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

}  // namespace

// A spare instance is made before the current one closes: back-to-back clients never find the pipe missing.
struct KillSwitchServiceDouble::Impl {
    Impl(KillSwitchServiceDouble& owner, std::string name) : service(owner), channel(std::move(name)) {}
    KillSwitchServiceDouble& service;
    const std::string channel;
    const std::wstring name = std::wstring(channel.begin(), channel.end());
    HANDLE current = makeInstance();  // the server thread's
    std::atomic<bool> stopping{false};
    std::thread thread;

    HANDLE makeInstance() const {
        return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
    }

    void run() {
        for (;;) {
            const bool connected = ConnectNamedPipe(current, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
            if (stopping) break;
            const HANDLE next = connected ? makeInstance() : current;
            if (connected) serve(current);
            // A client that came and went before the connection was taken leaves the instance to reset.
            DisconnectNamedPipe(current);
            if (next != current) CloseHandle(current);
            current = next;
        }
        CloseHandle(current);
    }

    void serve(HANDLE pipe) {
        std::string line;
        char c;
        DWORD n = 0;
        while ((line.empty() || line.back() != '\n') && ReadFile(pipe, &c, 1, &n, nullptr) && n == 1) line += c;
        bool hold = false;
        if (const auto answer = service.take(line, hold)) WriteFile(pipe, answer->data(), static_cast<DWORD>(answer->size()), &n, nullptr);
        // Disconnecting drops what the client has not read yet (or, mute, ends its wait): wait until it has closed.
        for (char rest[256]; hold && ReadFile(pipe, rest, sizeof rest, &n, nullptr);) {
        }
    }
};

KillSwitchServiceDouble::KillSwitchServiceDouble(std::string reply)
    : reply_(std::move(reply)), impl_(std::make_unique<Impl>(*this, uniquePipeName("VarnelKillSwitchDouble"))) {
    if (impl_->current == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create the pipe " + impl_->channel);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

KillSwitchServiceDouble::~KillSwitchServiceDouble() {
    impl_->stopping = true;
    const HANDLE waker = CreateFileW(impl_->name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);  // ends its wait
    impl_->thread.join();
    if (waker != INVALID_HANDLE_VALUE) CloseHandle(waker);
}

const std::string& KillSwitchServiceDouble::channel() const { return impl_->channel; }

std::string absentKillSwitchChannel() { return uniquePipeName("VarnelKillSwitchAbsent"); }

}  // namespace varnel::test
