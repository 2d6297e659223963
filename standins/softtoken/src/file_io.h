// Files of the token folder, safe against other users and planted links: a folder made here
// is 0700 and every file 0600, links are never followed, temporary files are created
// exclusively, and a file is only ever replaced by renaming a complete new one over it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "unique_fd.h"

namespace softtoken {

// Creates the folder (and missing parents) unless it exists; the folder itself gets 0700
// whatever the umask. Throws std::system_error.
void createPrivateDirectory(const std::filesystem::path& path);

// The contents of a file that only its owner can have written: a regular file (never a link
// or a FIFO in its place) owned by the effective user, not writable by group or others, and
// at most maxSize bytes. Nothing when there is none. Throws std::system_error naming the file
// and what is wrong with it.
std::optional<std::string> readOwnFile(const std::filesystem::path& path, std::size_t maxSize);

// Throws std::runtime_error naming the folder and the fix unless it is a folder owned by the
// effective user and closed to group and others.
void requirePrivateDirectory(const std::filesystem::path& path);

// Writes the text to a new temporary file beside the target, flushes it and renames it over
// the target. Throws std::system_error; the temporary file is removed on failure.
void replaceFile(const std::filesystem::path& path, const std::string& text);

// Exclusive advisory lock on a side file for as long as the object lives. flock locks belong
// to the open file, so two threads of one process exclude each other as processes do.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    UniqueFd fd_;
};

}  // namespace softtoken
