#pragma once
// The listening side of the kill-switch channel on Linux: a Unix stream socket that only root and
// one group may open, taking one client at a time, with the client's credentials as the kernel
// saw them when it connected. Linux only; built only into the kill-switch service.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::platform {

struct PeerCredentials {
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::vector<std::uint32_t> groups;  // supplementary groups
    std::int32_t pid = 0;
};

enum class LineEnd {
    Line,      // a line feed came; bytes hold what was before it
    Closed,    // the client stopped sending before a line feed
    TimedOut,  // no line feed within the time allowed
    TooLong,   // more bytes than allowed without a line feed
};

struct ReceivedLine {
    std::string bytes;  // without the line feed
    LineEnd end = LineEnd::Closed;
};

// One accepted client. Move-only; closes the connection when it goes.
class ControlConnection {
public:
    explicit ControlConnection(int fd);
    ControlConnection(ControlConnection&& other) noexcept;
    ControlConnection& operator=(ControlConnection&& other) noexcept;
    ~ControlConnection();

    // What the kernel recorded when the client connected; nothing when it cannot tell.
    std::optional<PeerCredentials> peer() const;
    // Reads up to the first line feed, at most maxBytes before it, within timeoutMs in all, so a
    // client that trickles bytes is held no longer than one that sends nothing.
    ReceivedLine receiveLine(std::size_t maxBytes, int timeoutMs);
    // One send; a client that has gone is not an error.
    void send(std::string_view bytes);

private:
    int fd_ = -1;
};

class ControlSocket {
public:
    // Creates the socket file at path, 0660 and owned by root and the group, replacing a stale one
    // that nobody listens on. Refuses a path where something else lies or a service already
    // listens. SIGTERM, SIGINT and SIGHUP are taken over: they make next() return nothing.
    static std::optional<ControlSocket> listenAt(const std::string& path, std::uint32_t groupId, std::string& error);
    ControlSocket(ControlSocket&& other) noexcept;
    ~ControlSocket();  // removes the socket file

    // The next client; nothing once a stop signal came.
    std::optional<ControlConnection> next();

private:
    ControlSocket(std::string path, int listener, int signals, std::uint64_t device, std::uint64_t inode);
    std::string path_;
    int listener_ = -1;
    int signals_ = -1;
    std::uint64_t device_ = 0;  // the socket file as bound, so that only that file is removed
    std::uint64_t inode_ = 0;
};

// The id of a group by name; false when there is no such group.
bool findGroupId(const std::string& name, std::uint32_t& groupId);
bool runningAsRoot();

}  // namespace varnel::platform
