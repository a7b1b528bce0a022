#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/icmp.h"
#include "platform/posix/unique_fd.h"

namespace varnel::platform {

namespace {

constexpr std::uint8_t kEchoReply = 0, kUnreachable = 3, kEchoRequest = 8, kTimeExceeded = 11;
constexpr std::size_t kHeaderSize = 8;

std::uint16_t checksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (size % 2 != 0) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::uint16_t read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// An unprivileged ICMP datagram socket where the system allows one (net.ipv4.ping_group_range);
// otherwise a raw socket, which only root may open. The kernel picks the identifier of a datagram
// socket and hands it only its own replies; a raw socket sees every ICMP message, so we match them.
struct EchoSocket {
    UniqueFd fd;
    bool raw = false;
};

EchoSocket openEchoSocket() {
    UniqueFd datagram(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (datagram.valid()) return {std::move(datagram), false};
    if ((errno == EACCES || errno == EPERM) && ::geteuid() == 0) return {UniqueFd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)), true};
    return {};
}

enum class Verdict { Ignore, Reply, Failure };

// message is the ICMP message (the IP header already removed).
Verdict judge(const std::uint8_t* message, std::size_t size, bool raw, std::uint16_t id, std::uint16_t sequence) {
    if (size < kHeaderSize) return Verdict::Ignore;
    const std::uint8_t type = message[0];
    if (type == kEchoReply) {
        if (read16(message + 6) != sequence || (raw && read16(message + 4) != id)) return Verdict::Ignore;
        return Verdict::Reply;
    }
    // An error about our request carries the request's IP header and first 8 bytes.
    if (raw && (type == kUnreachable || type == kTimeExceeded) && size >= kHeaderSize + 20) {
        const std::uint8_t* inner = message + kHeaderSize;
        const std::size_t innerHeader = static_cast<std::size_t>(inner[0] & 0x0f) * 4;
        if (size < kHeaderSize + innerHeader + kHeaderSize) return Verdict::Ignore;
        const std::uint8_t* request = inner + innerHeader;
        if (request[0] == kEchoRequest && read16(request + 4) == id && read16(request + 6) == sequence) return Verdict::Failure;
    }
    return Verdict::Ignore;
}

}  // namespace

std::optional<std::uint32_t> icmpEcho(const Ipv4Address& address) {
    const EchoSocket echo = openEchoSocket();
    if (!echo.fd.valid()) return std::nullopt;

    // Concurrent echoes on raw sockets all see each other's replies: each gets its own sequence number.
    static std::atomic<std::uint16_t> nextSequence{1};
    const std::uint16_t id = static_cast<std::uint16_t>(::getpid());
    const std::uint16_t sequence = nextSequence.fetch_add(1);

    std::uint8_t packet[kHeaderSize + kEchoPayloadSize] = {};
    packet[0] = kEchoRequest;
    packet[4] = static_cast<std::uint8_t>(id >> 8);
    packet[5] = static_cast<std::uint8_t>(id);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence);
    const std::uint16_t sum = checksum(packet, sizeof packet);
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum);

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    std::memcpy(&destination.sin_addr, address.data(), 4);

    using Clock = std::chrono::steady_clock;
    const auto sent = Clock::now();
    if (::sendto(echo.fd.get(), packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) < 0) return std::nullopt;

    const auto deadline = sent + std::chrono::milliseconds(kEchoTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd entry{echo.fd.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;

        std::uint8_t buffer[1500];
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n = ::recvfrom(echo.fd.get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0 && errno == EINTR) continue;
        // A datagram socket reports an ICMP error about our request as a failed receive.
        if (n < 0) return std::nullopt;
        const auto elapsed = Clock::now() - sent;

        const std::uint8_t* message = buffer;
        std::size_t size = static_cast<std::size_t>(n);
        if (echo.raw) {
            // A raw socket hands over the IP header too, and hears from every sender.
            if (size < 20) continue;
            const std::size_t ipHeader = static_cast<std::size_t>(buffer[0] & 0x0f) * 4;
            if (size < ipHeader) continue;
            message += ipHeader;
            size -= ipHeader;
        }
        const Verdict verdict = judge(message, size, echo.raw, id, sequence);
        if (verdict == Verdict::Failure) return std::nullopt;
        if (verdict == Verdict::Reply) {
            if (echo.raw && std::memcmp(&from.sin_addr, address.data(), 4) != 0) continue;
            return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        }
    }
}

}  // namespace varnel::platform
