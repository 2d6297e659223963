#pragma once

#include <string>

#include <openssl/asn1.h>

#include "exception/ssl.h"

namespace kelvo::plugin::ssl {

// Removes the CERTIFICATE, CERTIFICATE REQUEST and PUBLIC KEY armour lines, then every
// carriage return and line feed.
std::string stripArmour(std::string text);

// Empties OpenSSL's error queue of this thread and returns its text on one line.
std::string errorText();

// Numeric dotted form of an object identifier; empty for a null object.
std::string oidText(const ASN1_OBJECT* object);

}  // namespace kelvo::plugin::ssl

// Throws SslException with the code and the pending OpenSSL error text as Module_; the throw
// location is the calling function.
#define KELVO_THROW_SSL(code)                               \
    BOOST_THROW_EXCEPTION(                                  \
        ::kelvo::plugin::ssl::exception::SslException(code) \
        << ::kelvo::plugin::ssl::exception::Module_(::kelvo::plugin::ssl::errorText()))
