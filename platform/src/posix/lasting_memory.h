#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_set>

namespace kelvo::platform::environment {

// Memory the process environment points at. It is never freed, not even when this library is
// unloaded, because any thread of the host may read the environment at any time (glibc keeps
// its own setenv strings for the same reason). Leak checkers are told that this is on purpose.

// An array of null pointers; null when memory is exhausted.
char** lastingPointerArray(std::size_t slots);

// Lasting, NUL-terminated copies of texts, one per distinct text, so that memory grows with
// the number of distinct texts rather than with the number of changes. Not thread-safe.
class LastingTexts {
public:
    // Null when memory is exhausted.
    const char* intern(std::string_view text);

private:
    std::unordered_set<std::string_view> texts_;
};

}  // namespace kelvo::platform::environment
