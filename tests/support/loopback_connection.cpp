#include "support/loopback_server.h"

namespace varnel::test {

bool LoopbackConnection::takeLine(std::string& line) {
    const auto end = pending_.find('\n');
    if (end == std::string::npos) return false;
    line = pending_.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pending_.erase(0, end + 1);
    return true;
}

bool LoopbackConnection::readLine(std::string& line) {
    for (;;) {
        if (takeLine(line)) return true;
        char buffer[1024];
        const long n = receive(buffer, sizeof buffer);
        if (n <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

LoopbackConnection::Read LoopbackConnection::readLineWithin(std::string& line, int timeoutMs) {
    for (;;) {
        if (takeLine(line)) return Read::Line;
        if (!waitReadable(timeoutMs)) return Read::Timeout;
        char buffer[1024];
        const long n = receive(buffer, sizeof buffer);
        if (n <= 0) return Read::Closed;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace varnel::test
