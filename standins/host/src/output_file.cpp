#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/filesystem/path.hpp>

namespace kelvo::host::app {

namespace {

const char* specialKind(mode_t mode) {
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return S_ISREG(mode) ? nullptr : "not a regular file";
}

// The temporary sits beside the name as given, never in a folder a link points to.
std::string temporaryTemplate(const std::string& path) {
    const boost::filesystem::path name(path);
    const auto folder = name.parent_path();
    return (folder.empty() ? boost::filesystem::path(".") : folder).string() + "/." +
           name.filename().string() + ".XXXXXX";
}

mode_t creationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path) {
    if (path.empty()) {
        fail("no file name");
    }
    if (isStandardOutput(path)) {
        return;
    }
    refuseSpecialFile();
    const std::string pattern = temporaryTemplate(path);
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.size() + 1);
    file_ = FileDescriptor(::mkostemp(name.data(), O_CLOEXEC));
    if (!file_) {
        fail(std::strerror(errno));
    }
    temporary_ = name.data();
}

OutputFile::~OutputFile() {
    discardTemporary();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      file_(std::move(other.file_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    discardTemporary();
    path_ = std::move(other.path_);
    temporary_ = std::exchange(other.temporary_, std::string());
    file_ = std::move(other.file_);
    return *this;
}

void OutputFile::commit(const std::string& bytes) {
    if (isStandardOutput(path_)) {
        if (!std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
            fail("standard output failed");
        }
        return;
    }
    if (temporary_.empty()) {
        fail("already written");
    }
    if (!writeAll(file_.get(), bytes) || ::fchmod(file_.get(), creationMode()) != 0 ||
        ::fsync(file_.get()) != 0) {
        fail(std::strerror(errno));
    }
    file_ = FileDescriptor();
    // Checked again: something may have been planted under the name since.
    refuseSpecialFile();
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        fail(std::strerror(errno));
    }
    temporary_.clear();
}

void OutputFile::refuseSpecialFile() const {
    struct stat status {};
    if (::lstat(path_.c_str(), &status) == 0) {
        if (const char* kind = specialKind(status.st_mode)) {
            fail(std::string(kind) + " is not replaced");
        }
    } else if (errno != ENOENT) {
        fail(std::strerror(errno));
    }
}

void OutputFile::discardTemporary() noexcept {
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

void OutputFile::fail(const std::string& reason) const {
    throw std::runtime_error("cannot write " + path_ + ": " + reason);
}

std::optional<OutputFile> outputFileIfNamed(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    return OutputFile(path);
}

bool isStandardOutput(const std::string& path) {
    return path == "-";
}

}  // namespace kelvo::host::app
