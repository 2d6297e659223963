// Byte strings that hold secrets (PINs, keys, key material): wiped before their memory is
// given back, including the old buffer when they grow.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace softtoken {

template <typename T>
struct CleansingAllocator {
    using value_type = T;

    CleansingAllocator() = default;
    template <typename U>
    CleansingAllocator(const CleansingAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return std::allocator<T>().allocate(count); }
    void deallocate(T* pointer, std::size_t count) noexcept {
        OPENSSL_cleanse(pointer, count * sizeof(T));
        std::allocator<T>().deallocate(pointer, count);
    }

    template <typename U>
    bool operator==(const CleansingAllocator<U>&) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const CleansingAllocator<U>&) const noexcept {
        return false;
    }
};

// A vector rather than a string: short strings live inside the object, out of the
// allocator's reach.
using SecretBytes = std::vector<unsigned char, CleansingAllocator<unsigned char>>;

inline SecretBytes secretOf(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return size == 0 ? SecretBytes() : SecretBytes(bytes, bytes + size);
}

inline SecretBytes secretOf(const std::string& text) {
    return secretOf(text.data(), text.size());
}

}  // namespace softtoken
