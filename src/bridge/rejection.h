#pragma once
// An exception that carries a method's rejection message whole: what() of a standard exception stops
// at the first NUL byte, and a message that quotes the interface's own text may hold one.

#include <stdexcept>
#include <string>

namespace varnel {

class Rejection : public std::runtime_error {
public:
    explicit Rejection(std::string message) : std::runtime_error(message), message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

}  // namespace varnel
