// Byte strings and the small conversions the token needs around them.
#pragma once

#include <string>

#include "pkcs11_gost.h"

namespace softtoken {

// Attribute values, digests, keys and signatures travel as raw byte strings.
using Bytes = std::string;

inline Bytes toBytes(const void* data, std::size_t size) {
    return size == 0 ? Bytes() : Bytes(static_cast<const char*>(data), size);
}

inline const unsigned char* data(const Bytes& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

Bytes toHex(const Bytes& bytes);
Bytes fromHex(const std::string& hex);  // throws std::invalid_argument on malformed text

// Copies text into a fixed PKCS#11 text field, padding with blanks (never NUL-terminated).
void padCopy(CK_UTF8CHAR* field, std::size_t size, const std::string& text);

}  // namespace softtoken
