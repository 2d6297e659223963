#pragma once

#include <ctime>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "openssl_objects.h"

namespace kelvo::host::app {

// Why a signature is not valid.
class SignatureInvalid : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A CMS SignedData with one signer, checked one step at a time so that the first failure
// names its reason. OpenSSL does the decoding and the cryptography; every check throws
// SignatureInvalid.
class CmsVerifier {
public:
    // DER or PEM; checks the structure and finds the signer's certificate inside.
    explicit CmsVerifier(const std::string& bytes);

    bool detached() const;
    std::string signerSubject() const;
    std::string signerSerial() const;
    // ISO 8601 (UTC), or "none" without the signingTime attribute.
    std::string signingTime() const;

    // The signer's signature over the signed attributes, with the certificate's key.
    void checkSignature() const;
    // The messageDigest attribute against the content: the given one for a detached
    // signature, the enclosed one otherwise.
    void checkContent(std::istream* content) const;
    // signingCertificate(V2), when present, names the certificate (hash, issuer, serial).
    void checkSigningCertificate() const;
    // The certificate chains to one of the authorities (none given: the system's) at the
    // signing time, the certificates inside the signature helping as intermediates.
    void checkChain(const std::vector<X509Ptr>& authorities) const;

private:
    CmsPtr cms_;
    CMS_SignerInfo* signer_ = nullptr;
    X509* certificate_ = nullptr;
    std::optional<std::time_t> signedAt_;
};

}  // namespace kelvo::host::app
