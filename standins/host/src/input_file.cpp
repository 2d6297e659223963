#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace kelvo::host::app {

namespace {

constexpr std::size_t kBufferSize = 4096;

// The failed call's errno with what was being done; the text is built once errno is safe.
[[noreturn]] void throwSystemError(const char* action, const std::string& path) {
    const int error = errno;
    throw std::system_error(error, std::generic_category(), action + path);
}

// Standard input through a descriptor of its own, so that closing it leaves fd 0 alone.
FileDescriptor openInput(const std::string& path, bool standardInput) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before it could be refused.
    FileDescriptor fd(standardInput
                          ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                          : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        throwSystemError("cannot read ", path);
    }
    return fd;
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : path_(path == "-" ? "standard input" : path),
      fd_(openInput(path_, path == "-")),
      buffer_(kBufferSize) {
    struct stat status {};
    if (::fstat(fd_.get(), &status) != 0) {
        throwSystemError("cannot read ", path_);
    }
    if (S_ISREG(status.st_mode)) {
        // Standard input may be a file that was partly read already: the data is the rest.
        origin_ = std::max<off_t>(0, ::lseek(fd_.get(), 0, SEEK_CUR));
        size_ = static_cast<std::uint64_t>(std::max<off_t>(0, status.st_size - origin_));
    } else if (S_ISDIR(status.st_mode)) {
        throw std::runtime_error(path_ + " is a directory, not a file");
    } else if (path != "-") {
        throw std::runtime_error(path_ + " is not a regular file");
    } else if (::isatty(fd_.get())) {
        throw std::runtime_error("standard input is a terminal; give a file or a pipe");
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data());
}

void InputFile::changedWhileRead() const {
    throw std::runtime_error(path_ + " changed while it was read (" + std::to_string(*size_) +
                             " bytes when opened, " + std::to_string(position_) + " bytes read)");
}

std::size_t InputFile::readSome(char* into, std::size_t count) {
    ssize_t got = -1;
    do {
        got = ::read(fd_.get(), into, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        throwSystemError("cannot read ", path_);
    }
    position_ += static_cast<std::uint64_t>(got);
    if (size_ && (got == 0 ? position_ != *size_ : position_ > *size_)) {
        changedWhileRead();
    }
    return static_cast<std::size_t>(got);
}

InputFile::int_type InputFile::underflow() {
    if (gptr() == egptr()) {
        const std::size_t got = readSome(buffer_.data(), buffer_.size());
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        if (got == 0) {
            return traits_type::eof();
        }
    }
    return traits_type::to_int_type(*gptr());
}

std::streamsize InputFile::xsgetn(char_type* s, std::streamsize count) {
    // What is buffered first, then straight into the reader's memory.
    const auto buffered = std::min<std::streamsize>(count, egptr() - gptr());
    traits_type::copy(s, gptr(), static_cast<std::size_t>(buffered));
    gbump(static_cast<int>(buffered));
    std::streamsize done = buffered;
    while (done < count) {
        const std::size_t got = readSome(s + done, static_cast<std::size_t>(count - done));
        if (got == 0) {
            break;
        }
        done += static_cast<std::streamsize>(got);
    }
    return done;
}

InputFile::pos_type InputFile::seekoff(off_type offset, std::ios_base::seekdir direction,
                                       std::ios_base::openmode) {
    if (direction == std::ios_base::cur) {
        offset -= egptr() - gptr();
    }
    const int whence = direction == std::ios_base::beg   ? SEEK_SET
                       : direction == std::ios_base::cur ? SEEK_CUR
                                                         : SEEK_END;
    const off_t moved = ::lseek(fd_.get(), whence == SEEK_SET ? origin_ + offset : offset, whence);
    // A pipe cannot go back: the reader must not take a failed rewind for empty data.
    if (moved < 0) {
        throwSystemError("cannot go back to the start of ", path_);
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    position_ = static_cast<std::uint64_t>(moved - origin_);
    return pos_type(moved - origin_);
}

InputFile::pos_type InputFile::seekpos(pos_type position, std::ios_base::openmode mode) {
    return seekoff(off_type(position), std::ios_base::beg, mode);
}

}  // namespace kelvo::host::app
