#include "progress_streambuf.h"

namespace kelvo::host::app {

ProgressStreambuf::ProgressStreambuf(std::streambuf& source, Listener listener,
                                     std::size_t bufferSize)
    : source_(source), listener_(std::move(listener)), buffer_(bufferSize) {
    setg(buffer_.data(), buffer_.data(), buffer_.data());
}

void ProgressStreambuf::advance(std::streamsize count) {
    if (count > 0) {
        position_ += static_cast<std::uint64_t>(count);
        if (listener_) {
            listener_(pass_, position_);
        }
    }
}

ProgressStreambuf::int_type ProgressStreambuf::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    const std::streamsize got =
        source_.sgetn(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    if (got <= 0) {
        setg(buffer_.data(), buffer_.data(), buffer_.data());
        return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    advance(got);
    return traits_type::to_int_type(*gptr());
}

std::streamsize ProgressStreambuf::xsgetn(char_type* s, std::streamsize count) {
    // What is buffered first, then straight from the source into the reader's buffer.
    const std::streamsize buffered = std::min<std::streamsize>(count, egptr() - gptr());
    traits_type::copy(s, gptr(), static_cast<std::size_t>(buffered));
    gbump(static_cast<int>(buffered));
    std::streamsize done = buffered;
    if (done < count) {
        const std::streamsize got = source_.sgetn(s + done, count - done);
        if (got > 0) {
            advance(got);
            done += got;
        }
    }
    return done;
}

ProgressStreambuf::pos_type ProgressStreambuf::moved(pos_type position) {
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    if (position == pos_type(off_type(-1))) {
        return position;
    }
    const auto next = static_cast<std::uint64_t>(off_type(position));
    if (next == 0 && position_ > 0) {
        ++pass_;
    }
    position_ = next;
    return position;
}

ProgressStreambuf::pos_type ProgressStreambuf::seekoff(off_type offset,
                                                       std::ios_base::seekdir direction,
                                                       std::ios_base::openmode mode) {
    if (direction == std::ios_base::cur) {
        // The source is ahead of the reader by what is still buffered.
        const off_type reader = static_cast<off_type>(position_) - (egptr() - gptr());
        if (offset == 0) {
            return pos_type(reader);
        }
        return seekpos(pos_type(reader + offset), mode);
    }
    return moved(source_.pubseekoff(offset, direction, std::ios_base::in));
}

ProgressStreambuf::pos_type ProgressStreambuf::seekpos(pos_type position, std::ios_base::openmode) {
    return moved(source_.pubseekpos(position, std::ios_base::in));
}

}  // namespace kelvo::host::app
