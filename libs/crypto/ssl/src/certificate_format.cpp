#include <algorithm>
#include <cstring>
#include <string>

#include "exception/application.h"
#include "shared/base64.h"
#include "ssl/certificate.h"
#include "ssl/tools.h"

namespace kelvo::plugin::ssl {

namespace {

const char kPemArmour[] = "-----BEGIN CERTIFICATE-----";
const char kX509PemArmour[] = "-----BEGIN X509 CERTIFICATE-----";

bool startsWith(const unsigned char* data, std::size_t length, const char* prefix) {
    const std::size_t size = std::strlen(prefix);
    return length >= size && std::memcmp(data, prefix, size) == 0;
}

bool isText(const unsigned char* data, std::size_t length) {
    const std::size_t head = std::min<std::size_t>(10, length);
    // Line breaks count as Base64 text, as pasted certificates often start with one or wrap
    // lines short.
    const bool base64Head = head >= 4 && std::all_of(data, data + head, [](unsigned char c) {
                                return base64::isBase64Char(static_cast<char>(c));
                            });
    if (base64Head || startsWith(data, length, kPemArmour) ||
        startsWith(data, length, kX509PemArmour)) {
        return true;
    }
    const auto* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + length;
    return std::search(begin, end, kPemArmour, kPemArmour + std::strlen(kPemArmour)) != end;
}

// The length octets of a SEQUENCE header must fit the buffer and be minimal enough to read.
bool malformedDerHeader(const unsigned char* data, std::size_t length) {
    if (length < 4) {
        return true;
    }
    if ((data[1] & 0x80) == 0) {
        return false;
    }
    const std::size_t lengthOfLength = data[1] & 0x7F;
    return lengthOfLength == 0 || 2 + lengthOfLength > length ||
           (data[2] == 0 && lengthOfLength >= 2);
}

}  // namespace

boost::shared_ptr<Certificate> Certificate::makeByFormat(const unsigned char* data,
                                                         std::size_t length) {
    using kelvo::plugin::exception::ApplicationException;
    if (data == nullptr || length == 0) {
        BOOST_THROW_EXCEPTION(ApplicationException(kelvo::plugin::exception::ContentEmpty));
    }
    if (isText(data, length)) {
        const std::string text =
            stripArmour(std::string(reinterpret_cast<const char*>(data), length));
        return makeFromDer(base64::decode(text.data(), text.size()));
    }
    if (data[0] == 0x30 && length >= 2 && malformedDerHeader(data, length)) {
        BOOST_THROW_EXCEPTION(ApplicationException(kelvo::plugin::exception::NotImplemented));
    }
    return makeFromDer(data, length);
}

}  // namespace kelvo::plugin::ssl
