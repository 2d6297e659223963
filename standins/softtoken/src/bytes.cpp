#include "bytes.h"

#include <algorithm>
#include <boost/algorithm/hex.hpp>
#include <cstring>
#include <iterator>
#include <stdexcept>

namespace softtoken {

Bytes toHex(const Bytes& bytes) {
    Bytes out;
    boost::algorithm::hex_lower(bytes.begin(), bytes.end(), std::back_inserter(out));
    return out;
}

Bytes fromHex(const std::string& hex) {
    try {
        return boost::algorithm::unhex(hex);
    } catch (const boost::algorithm::hex_decode_error&) {
        throw std::invalid_argument("malformed hexadecimal text");
    }
}

void padCopy(CK_UTF8CHAR* field, std::size_t size, const std::string& text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

}  // namespace softtoken
