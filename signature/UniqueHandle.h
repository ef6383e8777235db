#pragma once
// A move-only owner of one platform handle, closed once: the crypto layers'
// copy of the Windows edition's UniqueAny, which they may not include.

#include <utility>

namespace tolv::signature {

template <class T, auto Close> class Unique {
public:
    Unique() = default;
    explicit Unique(T handle) noexcept : handle_(handle) {}
    ~Unique() { reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, T{})) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.handle_, T{}));
        return *this;
    }
    T get() const noexcept { return handle_; }
    T* put() noexcept {
        reset();
        return &handle_;
    }
    explicit operator bool() const noexcept { return handle_ != T{}; }
    void reset(T handle = T{}) noexcept {
        if (T old = std::exchange(handle_, handle))
            Close(old);
    }

private:
    T handle_{};
};

} // namespace tolv::signature
