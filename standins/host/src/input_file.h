#pragma once

#include <sys/types.h>

#include <cstdint>
#include <streambuf>
#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "file_descriptor.h"

namespace kelvo::host::app {

// The data a command reads: a regular file, or standard input for "-". Every read is
// checked: a read error, or a file that ends before or after the size it had when it was
// opened, throws instead of looking like the end of the data, so a reader can never take a
// part of the file for the whole.
class InputFile : public std::streambuf {
public:
    // Throws std::runtime_error naming the path when it cannot be opened or is no regular
    // file; standard input may also be a pipe, but not a terminal.
    explicit InputFile(const std::string& path);

    const std::string& path() const { return path_; }
    // The size when opened; none for a pipe, which can be read only once.
    const boost::optional<std::uint64_t>& size() const { return size_; }

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char_type* s, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode mode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

private:
    // Up to count bytes from the descriptor; 0 only at the expected end.
    std::size_t readSome(char* into, std::size_t count);
    [[noreturn]] void changedWhileRead() const;

    std::string path_;
    FileDescriptor fd_;
    off_t origin_ = 0;  // where the data starts in the file
    boost::optional<std::uint64_t> size_;
    std::uint64_t position_ = 0;  // from the origin
    std::vector<char> buffer_;
};

}  // namespace kelvo::host::app
