#include "platform/environment.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "environment_block.h"
#include "lasting_memory.h"

extern char** environ;

namespace kelvo::platform::environment {

namespace {

// Everything the writers of this library share, for as long as it is loaded.
struct Writers {
    std::mutex mutex;
    EnvironmentBlock block;
    LastingTexts entries;  // "name=value" texts the environment points at

    // setenv refuses such names as well.
    static bool validName(const std::string& name) {
        return !name.empty() && name.find('=') == std::string::npos;
    }

    void put(const std::string& name, const std::string& value) {
        if (!validName(name)) {
            return;
        }
        if (const char* entry = entries.intern(name + "=" + value)) {
            block.put(name, entry);
        }
    }
};

Writers& writers() {
    static Writers instance;
    return instance;
}

std::vector<std::string> namesWith(const std::string& prefix) {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, prefix.data(), prefix.size()) == 0) {
            result.emplace_back(*entry, std::strcspn(*entry, "="));
        }
    }
    return result;
}

}  // namespace

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
    Writers& shared = writers();
    const std::lock_guard<std::mutex> lock(shared.mutex);
    shared.put(name, value);
}

void unset(const std::string& name) {
    Writers& shared = writers();
    const std::lock_guard<std::mutex> lock(shared.mutex);
    shared.block.remove(name);
}

void replacePrefixed(const std::string& prefix, const Variables& variables) {
    Writers& shared = writers();
    const std::lock_guard<std::mutex> lock(shared.mutex);
    for (const std::string& name : namesWith(prefix)) {
        const bool kept =
            std::any_of(variables.begin(), variables.end(),
                        [&name](const auto& variable) { return variable.first == name; });
        if (!kept) {
            shared.block.remove(name);
        }
    }
    for (const auto& [name, value] : variables) {
        shared.put(name, value);
    }
}

}  // namespace kelvo::platform::environment
