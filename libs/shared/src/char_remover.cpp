#include "shared/char_remover.h"

#include <algorithm>
#include <utility>

namespace kelvo::plugin::filter::iostream {

CharRemover::CharRemover(std::set<char> removed) : removed_(std::move(removed)) {}

std::streamsize CharRemover::removeFrom(char* buffer, std::streamsize size) const {
    char* end =
        std::remove_if(buffer, buffer + size, [this](char c) { return removed_.count(c) != 0; });
    return end - buffer;
}

}  // namespace kelvo::plugin::filter::iostream
