#pragma once

#include <cstddef>
#include <string_view>

namespace kelvo::platform::environment {

// The process environment array ("environ") as this library changes it. glibc's setenv and
// unsetenv may reallocate and free the array while other threads iterate it; instead, the
// first change copies the array into one of ours that is never reallocated or freed, and every
// change is a single pointer store into it, so a concurrent reader always finds valid entries.
// The entries stay contiguous before the terminating null: a removed variable is absent, not
// blanked. When the host replaces the array (a setenv of a new name makes glibc copy it), the
// next change adopts the host's array afresh. Not thread-safe: callers serialise changes.
class EnvironmentBlock {
public:
    // Replaces the first entry of the variable, or appends one. The "name=value" entry must
    // stay valid for the life of the process.
    void put(std::string_view name, const char* entry);
    // Removes every entry of the variable.
    void remove(std::string_view name);

private:
    // The array of ours that `environ` points at, with room for `extra` more entries.
    char** adopted(std::size_t extra);

    char** array_ = nullptr;
    std::size_t capacity_ = 0;  // slots, the terminating null included
};

}  // namespace kelvo::platform::environment
