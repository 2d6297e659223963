// Independent checks of the token's GOST results with OpenSSL's gost engine: digests, and
// signatures verified from the public key bytes a token reports.
#pragma once

#include <openssl/engine.h>

#include <string>

namespace softtoken {

class GostVerifier {
public:
    GostVerifier();
    ~GostVerifier();
    GostVerifier(const GostVerifier&) = delete;
    GostVerifier& operator=(const GostVerifier&) = delete;

    // Digest by engine name ("md_gost12_256", "md_gost12_512", "md_gost94").
    std::string digest(const char* name, const std::string& data) const;

    // PKCS#11 layout: signature s || r big-endian, digest read as a little-endian number.
    // paramSet is the DER OID; publicValue the little-endian x || y.
    bool verify(const std::string& paramSet, const std::string& publicValue,
                const std::string& digest, const std::string& signature) const;

private:
    ENGINE* engine_;
};

std::string unhex(const std::string& hex);
std::string reversed(std::string bytes);

}  // namespace softtoken
