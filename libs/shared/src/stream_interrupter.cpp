#include "shared/stream_interrupter.h"

#include <algorithm>
#include <utility>

namespace kelvo::plugin::filter::iostream {

StreamInterrupter::StreamInterrupter(std::set<char> stops) : stops_(std::move(stops)) {}

std::streamsize StreamInterrupter::deliver(const char* buffer, std::streamsize got) {
    if (got <= 0) {
        return -1;
    }
    const char* end = buffer + got;
    const char* stop = std::find_if(buffer, end, [this](char c) { return stops_.count(c) != 0; });
    if (stop != end) {
        interrupted_ = true;
    }
    const std::streamsize delivered = stop - buffer;
    return delivered == 0 ? -1 : delivered;
}

}  // namespace kelvo::plugin::filter::iostream
