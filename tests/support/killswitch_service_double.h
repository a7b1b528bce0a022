#pragma once
// A kill-switch service for tests, on a real named pipe (Windows) or Unix socket (Linux) of its own.
// A server thread takes one client at a time, records what it was sent up to the first line feed,
// answers, and waits for the client to close. It can be made busy (every open finds it taken),
// silent (it takes the command and closes without answering) or mute (it takes the command and
// holds the connection open without answering until the client gives up). For an absent service,
// use absentKillSwitchChannel().

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace varnel::test {

class KillSwitchServiceDouble {
public:
    explicit KillSwitchServiceDouble(std::string reply = "OK\n");
    ~KillSwitchServiceDouble();
    KillSwitchServiceDouble(const KillSwitchServiceDouble&) = delete;
    KillSwitchServiceDouble& operator=(const KillSwitchServiceDouble&) = delete;

    // The name a client opens (UTF-8): a pipe name or a socket path.
    const std::string& channel() const;
    // What each client sent, up to and including its first line feed, recorded before the answer.
    std::vector<std::string> received() const;
    void setReply(std::string reply);
    void setSilent(bool silent);
    void setMute(bool mute);
    // Returns once the service is in the asked state: while busy, no client can open the channel.
    // May be called from a client's thread (for example while it waits to open again).
    void setBusy(bool busy);

    // What the system's server thread shares with the test.
    struct Journal {
        mutable std::mutex mutex;  // guards received, reply, silent, mute and the server's client
        std::vector<std::string> received;
        std::string reply;
        bool silent = false, mute = false;
        std::atomic<bool> busy{false}, parked{false}, stopping{false};

        // Records a client's line; the answer to send, if any. The server then holds the connection
        // until the client closes when it answered or is mute, so that no answer is cut short.
        std::optional<std::string> take(const std::string& line, bool& hold);
        // On the server thread: while the test wants the service busy, takes no client (parked).
        bool parkWhileBusy();
        // On the test's: returns once the server thread has parked.
        void waitParked() const;
    };
    struct Impl;

private:
    Journal journal_;
    std::unique_ptr<Impl> impl_;
};

// A channel name on which no service listens.
std::string absentKillSwitchChannel();

}  // namespace varnel::test
