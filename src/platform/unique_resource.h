#pragma once
// The move-only owner of one operating-system resource, for the platform folders' own types
// (posix/unique_fd.h, win32/unique_handle.h). Traits give the native type, its "none" (the
// platform's invalid value, never zero unless the system says so) and how it is closed.
//   struct Traits { using Native = ...; static Native none(); static void close(Native); };

#include <utility>

namespace varnel::platform {

template <class Traits>
class UniqueResource {
public:
    using Native = typename Traits::Native;

    UniqueResource() = default;
    explicit UniqueResource(Native native) : native_(native) {}
    UniqueResource(UniqueResource&& other) noexcept : native_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    bool valid() const { return native_ != Traits::none(); }
    Native get() const { return native_; }
    Native release() { return std::exchange(native_, Traits::none()); }
    // Closes what is held now, if anything (so the system's last error stays as it is when nothing
    // is held), and takes native.
    void reset(Native native = Traits::none()) {
        if (valid()) Traits::close(native_);
        native_ = native;
    }

private:
    Native native_ = Traits::none();
};

}  // namespace varnel::platform
