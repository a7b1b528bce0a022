#include "support/loopback_server.h"

namespace varnel::test {

bool LoopbackConnection::readLine(std::string& line) {
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            line = pending_.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending_.erase(0, end + 1);
            return true;
        }
        char buffer[1024];
        const long n = receive(buffer, sizeof buffer);
        if (n <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace varnel::test
