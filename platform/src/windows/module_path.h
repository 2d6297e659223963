#pragma once

#include <windows.h>

#include <string>

namespace kelvo::platform {

// A module's file name read through GetModuleFileNameA or W, growing the buffer until the
// name fits; empty when the system cannot tell.
template <class Char, class Read>
std::basic_string<Char> moduleFileName(Read read) {
    std::basic_string<Char> buffer(MAX_PATH, Char());
    for (;;) {
        const DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);  // truncated: try again with more room
    }
}

// Full path of the executable of this process, empty when the system cannot tell.
std::wstring executablePath();

}  // namespace kelvo::platform
