#include "platform/environment.h"

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace kelvo::platform::environment {

std::vector<std::string> names() {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        result.emplace_back(*entry, equals ? equals - *entry : std::strlen(*entry));
    }
    return result;
}

boost::optional<std::string> get(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) {
        return std::string(value);
    }
    return boost::none;
}

void set(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void unset(const std::string& name) {
    ::unsetenv(name.c_str());
}

}  // namespace kelvo::platform::environment
