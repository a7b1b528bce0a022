#pragma once
// A kill-switch service for tests, on a real named pipe (Windows) or Unix socket (Linux) of its own.
// A server thread takes one client at a time, records what it was sent up to the first line feed,
// answers, and waits for the client to close. It can be made busy (every open finds it taken),
// silent (it takes the command and closes without answering) or mute (it takes the command and
// holds the connection open without answering until the client gives up). For an absent service,
// use absentKillSwitchChannel().
// Shared between the test thread and its server thread; Impl's mutex guards the journal and modes.

#include <memory>
#include <string>
#include <vector>

namespace varnel::test {

class KillSwitchServiceDouble {
public:
    struct Impl;
    // Listens on a channel of its own, or on the one given (a socket path or a pipe name).
    explicit KillSwitchServiceDouble(std::string reply = "OK\n", std::string channel = {});
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

private:
    std::unique_ptr<Impl> impl_;
};

// A channel name on which no service listens.
std::string absentKillSwitchChannel();

}  // namespace varnel::test
