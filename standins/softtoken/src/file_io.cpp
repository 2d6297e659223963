#include "file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace softtoken {

namespace {

constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateDirectory = 0700;

[[noreturn]] void systemFailure(const std::string& what, int error = errno) {
    throw std::system_error(error, std::generic_category(), what);
}

// Opens without following a link and without blocking on a FIFO planted in its place, and
// accepts regular files only.
UniqueFd openRegular(const std::filesystem::path& path, int flags) {
    UniqueFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kPrivateFile));
    if (!fd) {
        if (errno == ELOOP) {
            systemFailure(path.string() + " is a symbolic link, which is not followed");
        }
        return fd;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        systemFailure("cannot examine " + path.string());
    }
    if (!S_ISREG(status.st_mode)) {
        systemFailure(path.string() + " is not a regular file", EINVAL);
    }
    return fd;
}

void writeAll(int fd, const std::string& text, const std::filesystem::path& path) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            systemFailure("cannot write " + path.string());
        }
        done += static_cast<std::size_t>(written);
    }
}

// A temporary file that is removed unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) {
        std::string pattern = target.string() + ".tmp.XXXXXX";
        name_.assign(pattern.begin(), pattern.end());
        name_.push_back('\0');
        // mkostemp creates with O_CREAT | O_EXCL: nothing planted at the name is opened.
        fd_.reset(::mkostemp(name_.data(), O_CLOEXEC));
        if (!fd_) {
            systemFailure("cannot create a temporary file beside " + target.string());
        }
        if (::fchmod(fd_.get(), kPrivateFile) != 0) {
            const int error = errno;
            ::unlink(name_.data());
            systemFailure("cannot protect " + std::string(name_.data()), error);
        }
    }
    ~TemporaryFile() {
        if (!renamed_) {
            ::unlink(name_.data());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_.get(); }
    const char* name() const { return name_.data(); }
    void renameTo(const std::filesystem::path& target) {
        fd_.reset();
        if (::rename(name_.data(), target.c_str()) != 0) {
            systemFailure("cannot replace " + target.string());
        }
        renamed_ = true;
    }

private:
    std::vector<char> name_;
    UniqueFd fd_;
    bool renamed_ = false;
};

}  // namespace

void createPrivateDirectory(const std::filesystem::path& path) {
    if (std::filesystem::is_directory(path)) {
        return;
    }
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    if (::mkdir(path.c_str(), kPrivateDirectory) != 0) {
        if (errno == EEXIST && std::filesystem::is_directory(path)) {
            return;  // made meanwhile by another process
        }
        systemFailure("cannot create the token folder " + path.string());
    }
    // mkdir's mode passes through the umask, which may take too much or too little.
    if (::chmod(path.c_str(), kPrivateDirectory) != 0) {
        systemFailure("cannot protect the token folder " + path.string());
    }
}

std::optional<std::string> readOwnFile(const std::filesystem::path& path, std::size_t maxSize) {
    const UniqueFd fd = openRegular(path, O_RDONLY);
    if (!fd) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        systemFailure("cannot open " + path.string());
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        systemFailure("cannot examine " + path.string());
    }
    if (status.st_uid != ::geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        systemFailure(path.string() +
                          " is not trusted: it must belong to you and be writable by "
                          "you alone",
                      EPERM);
    }
    const std::string tooLarge =
        path.string() + " is larger than its limit of " + std::to_string(maxSize) + " bytes";
    if (static_cast<std::uintmax_t>(status.st_size) > maxSize) {
        systemFailure(tooLarge, EFBIG);
    }
    std::string text;
    char buffer[1 << 14];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            systemFailure("cannot read " + path.string());
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > maxSize) {  // grew since fstat
            systemFailure(tooLarge, EFBIG);
        }
    }
}

void requirePrivateDirectory(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        systemFailure("cannot examine the token folder " + path.string());
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
        throw std::runtime_error("the token folder " + path.string() +
                                 " is not a folder of yours; remove it or choose another one "
                                 "with ZOLVEX_SOFTTOKEN_DIR");
    }
    if ((status.st_mode & 077) != 0) {
        throw std::runtime_error("the token folder " + path.string() +
                                 " is open to other users; close it with: chmod 700 '" +
                                 path.string() + "'");
    }
}

void replaceFile(const std::filesystem::path& path, const std::string& text) {
    TemporaryFile temporary(path);
    writeAll(temporary.fd(), text, temporary.name());
    if (::fsync(temporary.fd()) != 0) {
        systemFailure("cannot flush " + std::string(temporary.name()));
    }
    temporary.renameTo(path);
    // Make the rename itself durable.
    const UniqueFd directory(
        ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory) {
        ::fsync(directory.get());
    }
}

FileLock::FileLock(const std::filesystem::path& path) : fd_(openRegular(path, O_RDONLY | O_CREAT)) {
    if (!fd_) {
        systemFailure("cannot open " + path.string());
    }
    while (::flock(fd_.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            systemFailure("cannot lock " + path.string());
        }
    }
}

FileLock::~FileLock() {
    ::flock(fd_.get(), LOCK_UN);
}

}  // namespace softtoken
