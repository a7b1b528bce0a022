#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/listener.h"
#include "platform/openvpn_install.h"

namespace varnel::platform {

namespace {

struct ListenerEntry {
    unsigned uid = 0;
    unsigned long inode = 0;
};

// /proc/net/tcp names each socket's local address, state, owner uid and inode; 0A is LISTEN.
bool findListener(std::uint16_t port, ListenerEntry& found) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    char any[16];
    std::snprintf(any, sizeof any, "00000000:%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits;
        ListenerEntry entry;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> entry.uid))
            continue;
        std::string timeout;
        fields >> timeout >> entry.inode;
        if (state == "0A" && (local == wanted || local == any)) {
            found = entry;
            return true;
        }
    }
    return false;
}

// The process holding the socket; 0 when no process we may look into holds it.
std::uint32_t socketOwner(unsigned long inode) {
    const std::string target = "socket:[" + std::to_string(inode) + "]";
    DIR* processes = ::opendir("/proc");
    if (!processes) return 0;
    std::uint32_t owner = 0;
    while (const dirent* process = ::readdir(processes)) {
        if (owner != 0) break;
        const std::string name = process->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string fdFolder = "/proc/" + name + "/fd";
        DIR* fds = ::opendir(fdFolder.c_str());
        if (!fds) continue;
        while (const dirent* fd = ::readdir(fds)) {
            char link[64];
            const ssize_t n = ::readlink((fdFolder + "/" + fd->d_name).c_str(), link, sizeof link - 1);
            if (n > 0 && target.compare(0, std::string::npos, link, static_cast<std::size_t>(n)) == 0) {
                owner = static_cast<std::uint32_t>(std::stoul(name));
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(processes);
    return owner;
}

std::string executableName(std::uint32_t pid) {
    char path[4096];
    const ssize_t n = ::readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string full(path, static_cast<std::size_t>(n));
    return full.substr(full.rfind('/') + 1);
}

}  // namespace

bool listenerIsOpenVpn(std::uint16_t port, std::uint32_t expectedPid) {
    ListenerEntry listener;
    // OpenVPN is launched as root; anyone else's listener is a stranger, whatever it answers.
    if (!findListener(port, listener) || listener.uid != 0) return false;
    const std::uint32_t owner = socketOwner(listener.inode);
    // A user who is not root cannot look into root's descriptors: the owner's uid must do then.
    if (owner == 0) return ::geteuid() != 0;
    if (expectedPid != 0) return owner == expectedPid;
    return executableName(owner) == kOpenVpnProgramName;
}

std::uint32_t loopbackListenerPid(std::uint16_t port) {
    ListenerEntry listener;
    return findListener(port, listener) ? socketOwner(listener.inode) : 0;
}

}  // namespace varnel::platform
