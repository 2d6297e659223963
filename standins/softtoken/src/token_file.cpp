#include "token_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "unique_fd.h"

namespace softtoken {

namespace {

[[noreturn]] void systemFailure(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Exclusive advisory lock on a side file, held for one read-modify-write.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (!fd_) {
            systemFailure("cannot open " + path.string());
        }
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                systemFailure("cannot lock " + path.string());
            }
        }
    }
    ~FileLock() { ::flock(fd_.get(), LOCK_UN); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    UniqueFd fd_;
};

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            systemFailure("cannot write token file");
        }
        done += static_cast<std::size_t>(written);
    }
}

}  // namespace

TokenFile::TokenFile(std::filesystem::path path)
    : path_(std::move(path)), lockPath_(path_.string() + ".lock") {}

void TokenFile::reloadIfChanged() {
    std::string text;
    std::ifstream in(path_, std::ios::binary);
    if (in) {
        std::ostringstream buffer;
        buffer << in.rdbuf();
        text = buffer.str();
    }
    if (loaded_ && text == text_) {
        return;
    }
    TokenState state;
    if (!text.empty()) {
        try {
            state = fromJson(text);
        } catch (const std::exception& error) {
            throw std::runtime_error(path_.string() + ": " + error.what());
        }
    }
    state_ = std::move(state);
    text_ = std::move(text);
    loaded_ = true;
}

const TokenState& TokenFile::state() {
    reloadIfChanged();
    return state_;
}

void TokenFile::modify(const std::function<void(TokenState&)>& change) {
    FileLock lock(lockPath_);
    reloadIfChanged();
    TokenState next = state_;
    change(next);
    std::string text = toJson(next);
    write(text);
    state_ = std::move(next);
    text_ = std::move(text);
}

void TokenFile::write(const std::string& text) {
    const std::filesystem::path temporary = path_.string() + ".tmp." + std::to_string(::getpid());
    {
        UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!fd) {
            systemFailure("cannot create " + temporary.string());
        }
        writeAll(fd.get(), text);
        if (::fsync(fd.get()) != 0) {
            systemFailure("cannot flush " + temporary.string());
        }
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        systemFailure("cannot replace " + path_.string());
    }
    // Make the rename itself durable.
    UniqueFd directory(::open(path_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory) {
        ::fsync(directory.get());
    }
}

}  // namespace softtoken
