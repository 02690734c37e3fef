// The generic owner of a system handle: each kind says in a Traits what an empty handle is and how to free
// one. Neutral, so that file descriptors and sockets use it as well as window-system handles.
#pragma once

#include <utility>

namespace platform {

// Move-only. Traits gives Handle, Empty() and Free(); a handle that no single value marks empty (an SSPI
// pair, a blob) gives Held() as well.
template <typename Traits>
class Scoped {
public:
    using Handle = typename Traits::Handle;

    Scoped() = default;
    explicit Scoped(Handle handle) : handle_(handle) {}
    ~Scoped() { Reset(); }
    Scoped(Scoped&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Empty())) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.handle_, Traits::Empty()));
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    const Handle& Get() const { return handle_; }
    explicit operator bool() const { return Held(handle_); }
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Handle handle = Traits::Empty()) {
        if (Held(handle_))
            Traits::Free(handle_);
        handle_ = handle;
    }
    // For a call that creates the handle in place: what is held is freed and the slot handed out. After a
    // failed call, Release() drops whatever the slot holds.
    Handle* Put() {
        Reset();
        return &handle_;
    }

private:
    static bool Held(const Handle& handle) {
        if constexpr (requires { Traits::Held(handle); })
            return Traits::Held(handle);
        else
            return handle != Traits::Empty();
    }

    Handle handle_ = Traits::Empty();
};

}  // namespace platform
