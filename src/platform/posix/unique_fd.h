#pragma once
// A file descriptor closed when its holder goes; -1 holds nothing.

#include <unistd.h>

namespace varnel::platform {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace varnel::platform
