#include "system_error_text.h"

#include <windows.h>

#include <memory>

namespace kelvo::platform {

namespace {

struct LocalFreer {
    void operator()(char* text) const { ::LocalFree(text); }
};

}  // namespace

std::string systemErrorText(unsigned long code) {
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    const std::unique_ptr<char, LocalFreer> owned(buffer);
    std::string text = length ? std::string(buffer, length) : std::string("unknown error");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text + " (error " + std::to_string(code) + ")";
}

}  // namespace kelvo::platform
