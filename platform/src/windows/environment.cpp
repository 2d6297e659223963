#include "platform/environment.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

// The process environment block is the one source of truth on Windows: the C runtime's
// getenv keeps a copy of its own that SetEnvironmentVariableA does not update. The system
// serialises changes of the block; the mutex makes replacePrefixed one step for the other
// writers of this library.
namespace kelvo::platform::environment {

namespace {

std::mutex& writers() {
    static std::mutex instance;
    return instance;
}

struct EnvironmentStringsFreer {
    void operator()(char* block) const { ::FreeEnvironmentStringsA(block); }
};

// With UNICODE defined the SDK headers give the ANSI block no A-suffixed name: the
// undecorated declaration is the ANSI one.
#pragma push_macro("GetEnvironmentStrings")
#undef GetEnvironmentStrings
char* ansiEnvironmentStrings() {
    return ::GetEnvironmentStrings();
}
#pragma pop_macro("GetEnvironmentStrings")

bool validName(const std::string& name) {
    return !name.empty() && name.find('=') == std::string::npos;
}

// Names compare without regard to ASCII case, as the system compares them.
bool sameLetters(char left, char right) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(left) == lower(right);
}

bool startsWith(const std::string& name, const std::string& prefix) {
    return name.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), name.begin(), sameLetters);
}

bool sameName(const std::string& left, const std::string& right) {
    return left.size() == right.size() && startsWith(left, right);
}

}  // namespace

std::vector<std::string> names() {
    const std::unique_ptr<char, EnvironmentStringsFreer> block(ansiEnvironmentStrings());
    std::vector<std::string> result;
    for (const char* entry = block.get(); entry && *entry; entry += std::strlen(entry) + 1) {
        // "=C:=C:\folder" entries keep the current folder of each drive; they are no variables.
        if (*entry == '=') {
            continue;
        }
        result.emplace_back(entry, std::strcspn(entry, "="));
    }
    return result;
}

boost::optional<std::string> get(const std::string& name) {
    if (!validName(name)) {
        return boost::none;
    }
    std::string value;
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD size = ::GetEnvironmentVariableA(name.c_str(), value.data(),
                                                     static_cast<DWORD>(value.size() + 1));
        if (size == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return boost::none;
            }
            return std::string();
        }
        if (size <= value.size()) {
            value.resize(size);
            return value;
        }
        value.resize(size - 1);  // the size asked for counts the terminating NUL
    }
}

void set(const std::string& name, const std::string& value) {
    if (!validName(name)) {
        return;
    }
    const std::lock_guard<std::mutex> lock(writers());
    ::SetEnvironmentVariableA(name.c_str(), value.c_str());
}

void unset(const std::string& name) {
    if (!validName(name)) {
        return;
    }
    const std::lock_guard<std::mutex> lock(writers());
    ::SetEnvironmentVariableA(name.c_str(), nullptr);
}

void replacePrefixed(const std::string& prefix, const Variables& variables) {
    const std::lock_guard<std::mutex> lock(writers());
    for (const std::string& name : names()) {
        const bool kept =
            std::any_of(variables.begin(), variables.end(),
                        [&name](const auto& variable) { return sameName(variable.first, name); });
        if (startsWith(name, prefix) && !kept) {
            ::SetEnvironmentVariableA(name.c_str(), nullptr);
        }
    }
    for (const auto& [name, value] : variables) {
        if (validName(name)) {
            ::SetEnvironmentVariableA(name.c_str(), value.c_str());
        }
    }
}

}  // namespace kelvo::platform::environment
