#pragma once

#include <optional>
#include <string>

#include "file_descriptor.h"

namespace kelvo::host::app {

// A file written whole or not at all, "-" being standard output. It is checked and its
// temporary created at once (unnamed where the file system allows), so a path that cannot be
// written is refused before any work is done; commit() renames the temporary over the name as
// given, keeping a replaced file's permissions, and without a commit nothing is left behind. An
// existing link, directory, device or FIFO under that name is refused, never followed or replaced.
class OutputFile {
public:
    // Throws std::runtime_error naming the path when it cannot be written.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(OutputFile&&) noexcept;
    OutputFile& operator=(OutputFile&&) noexcept;

    // Writes the bytes and puts the file in place; throws on failure.
    void commit(const std::string& bytes);

private:
    [[noreturn]] void fail(const std::string& reason) const;
    void refuseSpecialFile() const;
    // Gives the unnamed temporary a name beside the target, for the rename.
    void nameTemporary();
    void discardTemporary() noexcept;

    std::string path_;
    std::string temporary_;
    FileDescriptor file_;
};

// The file when a path is given (an optional output), opened at once.
std::optional<OutputFile> outputFileIfNamed(const std::string& path);

// A usage error (program_options) when two outputs of one command name the same file.
void refuseSameOutput(const std::string& first, const std::string& second);

// True for "-": the bytes go to standard output, so reports go elsewhere.
bool isStandardOutput(const std::string& path);

}  // namespace kelvo::host::app
