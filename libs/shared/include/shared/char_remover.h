#pragma once

#include <ios>
#include <set>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/read.hpp>

namespace kelvo::plugin::filter::iostream {

// Input filter that drops every listed character and keeps the order of the rest.
class CharRemover {
public:
    using char_type = char;
    using category = boost::iostreams::multichar_input_filter_tag;

    explicit CharRemover(std::set<char> removed);

    template <typename Source>
    std::streamsize read(Source& source, char* buffer, std::streamsize size) {
        // A block made only of removed characters must not look like the end of the stream.
        for (;;) {
            const std::streamsize got = boost::iostreams::read(source, buffer, size);
            if (got < 0) {
                return -1;
            }
            const std::streamsize kept = removeFrom(buffer, got);
            if (kept > 0) {
                return kept;
            }
            if (got == 0) {
                return -1;
            }
        }
    }

private:
    // Compacts the block in place; returns the count of characters kept.
    std::streamsize removeFrom(char* buffer, std::streamsize size) const;

    std::set<char> removed_;
};

}  // namespace kelvo::plugin::filter::iostream
