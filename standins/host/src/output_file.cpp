#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>
#include <boost/program_options/errors.hpp>

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
std::string folderOf(const std::string& path) {
    const auto folder = boost::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

std::string temporaryName(const std::string& path, const std::string& suffix) {
    return folderOf(path) + "/." + boost::filesystem::path(path).filename().string() + "." + suffix;
}

// A file replaced keeps its permissions; a new one gets what the umask allows.
mode_t modeFor(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        return status.st_mode & 0777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
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
    // Unnamed until the commit, so an interrupted command leaves nothing behind.
    file_ = FileDescriptor(::open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (file_) {
        return;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        fail(std::strerror(errno));
    }
    // A file system without unnamed files: a named temporary, created exclusively.
    const std::string pattern = temporaryName(path, "XXXXXX");
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
    if (!file_) {
        fail("already written");
    }
    if (!writeAll(file_.get(), bytes) || ::fchmod(file_.get(), modeFor(path_)) != 0 ||
        ::fsync(file_.get()) != 0) {
        fail(std::strerror(errno));
    }
    if (temporary_.empty()) {
        nameTemporary();
    }
    file_ = FileDescriptor();
    // Checked again: something may have been planted under the name since.
    refuseSpecialFile();
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        fail(std::strerror(errno));
    }
    temporary_.clear();
}

void OutputFile::nameTemporary() {
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName(path_, std::to_string(random()));
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = name;
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    fail(std::strerror(errno));
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

void refuseSameOutput(const std::string& first, const std::string& second) {
    if (first.empty() || second.empty() || isStandardOutput(first) != isStandardOutput(second)) {
        return;
    }
    const auto normal = [](const std::string& path) {
        return boost::filesystem::absolute(path).lexically_normal();
    };
    if (isStandardOutput(first) || normal(first) == normal(second)) {
        throw boost::program_options::error("two outputs name the same file: " + second);
    }
}

bool isStandardOutput(const std::string& path) {
    return path == "-";
}

}  // namespace kelvo::host::app
