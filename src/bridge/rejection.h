#pragma once
// An exception that carries a method's rejection message whole: what() of a standard exception stops
// at the first NUL byte, and a message that quotes the interface's own text may hold one.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace varnel::bridge {

class Rejection : public std::runtime_error {
public:
    explicit Rejection(std::string message) : std::runtime_error(message), message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

inline constexpr std::string_view kUnexpectedFailureMessage = "The operation failed unexpectedly.";

// Runs body and turns anything it throws into the promise's rejection, so that no exception reaches
// the host or ends a worker thread: a Rejection's whole message, a standard exception's what(), or
// kUnexpectedFailureMessage.
template <class Promise, class Body>
void rejectOnException(const Promise& promise, Body&& body) {
    try {
        std::forward<Body>(body)();
    } catch (const Rejection& e) {
        promise.reject(e.message());
    } catch (const std::exception& e) {
        promise.reject(e.what());
    } catch (...) {
        promise.reject(kUnexpectedFailureMessage);
    }
}

}  // namespace varnel::bridge
