#pragma once

#include <string>

#include <openssl/types.h>

namespace kelvo::plugin::ssl {

enum class SignatureCheck {
    Valid,
    Invalid,
    // The certificate's key cannot be used here (no GOST support in OpenSSL, unknown key).
    Unavailable,
};

// Checks a GOST R 34.10 signature over a digest with the certificate's public key. The
// signature is s then r, big-endian, as OpenSSL's GOST engine writes it.
SignatureCheck checkDigestSignature(X509* certificate, const std::string& digest,
                                    const std::string& signature);

}  // namespace kelvo::plugin::ssl
