#pragma once

#include <istream>
#include <string>
#include <vector>

#include <openssl/types.h>

#include "openssl_objects.h"

namespace kelvo::host::app {

struct CmsLayout {
    bool attached = false;  // the content inside the signature, not beside it
    bool pem = false;       // PEM text instead of DER
};

// A CAdES-BES SignedData (contentType, messageDigest, signingTime, signingCertificateV2)
// with one signer, the certificate and the chain inside. OpenSSL's CMS code digests the
// content in one pass with the digest that follows the key, and asks the key to sign only
// the signed attributes: with a token key, the token signs. Throws std::runtime_error with
// OpenSSL's reason.
std::string signCms(X509* certificate, EVP_PKEY* key, const std::vector<X509Ptr>& chain,
                    std::istream& content, const CmsLayout& layout);

// Writes the whole stream into a BIO; throws std::runtime_error when the BIO refuses it.
void writeAll(std::istream& from, BIO* to);

}  // namespace kelvo::host::app
