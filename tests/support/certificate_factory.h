#pragma once

#include <memory>
#include <string>

#include <openssl/engine.h>
#include <openssl/evp.h>

namespace kelvo::test {

// Issues X.509 certificates for GOST public keys held on a token, signed by a throwaway
// software CA, through OpenSSL's gost engine.
class CertificateFactory {
public:
    CertificateFactory();
    ~CertificateFactory();
    CertificateFactory(const CertificateFactory&) = delete;
    CertificateFactory& operator=(const CertificateFactory&) = delete;

    // DER of a certificate for a GOST R 34.10-2012 256-bit key given as the token's
    // CKA_VALUE (little-endian x || y) on the CryptoPro A paramset. The serial is hex,
    // most significant byte first.
    std::string issue(const std::string& publicValue, const std::string& serialHex,
                      const std::string& commonName) const;

private:
    ENGINE* engine_;
    EVP_PKEY* caKey_;
};

}  // namespace kelvo::test
