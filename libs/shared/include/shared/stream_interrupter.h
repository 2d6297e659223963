#pragma once

#include <ios>
#include <set>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/read.hpp>

namespace kelvo::plugin::filter::iostream {

// Input filter that ends the stream at the first stop character: that character and
// everything after it are never delivered. Closing the filter makes it usable again.
class StreamInterrupter {
public:
    using char_type = char;
    struct category : boost::iostreams::multichar_input_filter_tag,
                      boost::iostreams::closable_tag {};

    explicit StreamInterrupter(std::set<char> stops);

    template <typename Source>
    std::streamsize read(Source& source, char* buffer, std::streamsize size) {
        if (interrupted_) {
            return -1;
        }
        const std::streamsize got = boost::iostreams::read(source, buffer, size);
        return deliver(buffer, got);
    }

    template <typename Source>
    void close(Source&) {
        reset();
    }

    bool interrupted() const { return interrupted_; }
    void reset() { interrupted_ = false; }

private:
    // Cuts the block read from upstream at the first stop character; -1 when nothing is left.
    std::streamsize deliver(const char* buffer, std::streamsize got);

    std::set<char> stops_;
    bool interrupted_ = false;
};

}  // namespace kelvo::plugin::filter::iostream
