#pragma once

#include <memory>
#include <optional>
#include <string>

class QSaveFile;

namespace kelvo::host::app {

// A file written whole or not at all. It is opened at once, so a path that cannot be written
// is refused before any work is done; commit() puts it in place, and without a commit nothing
// is left behind.
class OutputFile {
public:
    // Throws std::runtime_error naming the path when it cannot be written.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(OutputFile&&) noexcept;
    OutputFile& operator=(OutputFile&&) noexcept;

    // Writes the bytes and renames the temporary file over the path; throws on failure.
    void commit(const std::string& bytes);

private:
    [[noreturn]] void fail() const;

    std::string path_;
    std::unique_ptr<QSaveFile> file_;
};

// The file when a path is given (an optional output), opened at once.
std::optional<OutputFile> outputFileIfNamed(const std::string& path);

}  // namespace kelvo::host::app
