#include "script_pin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <openssl/crypto.h>
#include <boost/scope_exit.hpp>

#include "file_descriptor.h"

namespace kelvo::host::app {

namespace {

// The failed call's errno; the text is built once errno is safe.
[[noreturn]] void throwSystemError(const std::string& path) {
    const int error = errno;
    throw std::system_error(error, std::generic_category(), "cannot read PIN file " + path);
}

// Refuses a file that is no regular file or that others could read, as ssh does with keys.
void checkPinFile(int fd, const std::string& path) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        throwSystemError(path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw std::runtime_error("PIN file " + path + " is not a regular file");
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        std::ostringstream text;
        text << "PIN file " << path << " is open to group or others (mode " << std::oct
             << std::setw(4) << std::setfill('0') << (status.st_mode & 07777) << "); chmod 600 it";
        throw std::runtime_error(text.str());
    }
}

// Reads up to the first line end through a buffer that is wiped afterwards.
SecretString firstLine(int fd, const std::string& path) {
    SecretString line;
    std::array<char, 256> chunk{};
    BOOST_SCOPE_EXIT_ALL(&chunk) {
        OPENSSL_cleanse(chunk.data(), chunk.size());
    };
    bool ended = false;
    while (!ended) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throwSystemError(path);
        }
        ended = got == 0;
        for (ssize_t i = 0; i < got && !ended; ++i) {
            ended = chunk[static_cast<std::size_t>(i)] == '\n';
            if (!ended && !line.push_back(chunk[static_cast<std::size_t>(i)])) {
                throw std::runtime_error("the first line of PIN file " + path +
                                         " is longer than a PIN can be");
            }
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty()) {
        throw std::runtime_error("the first line of PIN file " + path + " is empty");
    }
    return line;
}

}  // namespace

SecretString readPinFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file) {
        throwSystemError(path);
    }
    checkPinFile(file.get(), path);
    return firstLine(file.get(), path);
}

boost::optional<SecretString> takePinFromEnvironment(const char* name) {
    char* value = std::getenv(name);
    if (!value) {
        return boost::none;
    }
    ::unsetenv(name);
    // The text stays in the memory that held the environment at start (which the process's
    // /proc environ file shows) until it is overwritten; nothing points at it any more.
    const std::size_t length = std::strlen(value);
    boost::optional<SecretString> pin;
    if (length <= SecretString::kCapacity) {
        pin.emplace(value);
    }
    OPENSSL_cleanse(value, length);
    if (!pin) {
        throw std::runtime_error(std::string(name) + " is longer than a PIN can be");
    }
    return pin;
}

}  // namespace kelvo::host::app
