#include "platform/socket.h"

namespace varnel::platform {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        native_ = other.release();
    }
    return *this;
}

Socket::Native Socket::release() {
    const Native native = native_;
    native_ = kNone;
    return native;
}

}  // namespace varnel::platform
