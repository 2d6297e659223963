#pragma once

#include <utility>

namespace kelvo::plugin::ssl {

// Owns one raw library object and the function that releases it. Move-only.
template <class T>
class scoped_handle {
public:
    using release_type = void (*)(T*);

    scoped_handle(T* handle, release_type releaseFunction) noexcept
        : handle_(handle), release_(releaseFunction) {}
    ~scoped_handle() { reset(); }

    scoped_handle(scoped_handle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), release_(other.release_) {}
    scoped_handle& operator=(scoped_handle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, nullptr));
            release_ = other.release_;
        }
        return *this;
    }
    scoped_handle(const scoped_handle&) = delete;
    scoped_handle& operator=(const scoped_handle&) = delete;

    T* get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    // Gives up ownership without releasing.
    T* release() noexcept { return std::exchange(handle_, nullptr); }

    void reset(T* handle = nullptr) noexcept {
        T* old = std::exchange(handle_, handle);
        if (old != nullptr) {
            release_(old);
        }
    }

private:
    T* handle_;
    release_type release_;
};

}  // namespace kelvo::plugin::ssl
