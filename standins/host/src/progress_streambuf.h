#pragma once

#include <cstdint>
#include <functional>
#include <streambuf>
#include <vector>

namespace kelvo::host::app {

// An input stream buffer over another one that reports how far the reader got. A seek back to
// the start begins a new pass (the token digests a stream, then rewinds it to sign it).
// Memory stays at one fixed buffer whatever the size of the data. A source reports a read error
// by throwing (InputFile does): a short read here always means the end of the data.
class ProgressStreambuf : public std::streambuf {
public:
    using Listener = std::function<void(int pass, std::uint64_t position)>;

    ProgressStreambuf(std::streambuf& source, Listener listener, std::size_t bufferSize = 65536);

    int pass() const { return pass_; }

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char_type* s, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode mode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

private:
    void advance(std::streamsize count);
    pos_type moved(pos_type position);

    std::streambuf& source_;
    Listener listener_;
    std::vector<char> buffer_;
    std::uint64_t position_ = 0;  // of the end of the get area in the source
    int pass_ = 0;
};

}  // namespace kelvo::host::app
