#include "independent_gost.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <stdexcept>

#include "gost_key_pair.h"
#include "gost_verifier.h"

namespace keyengine_test {

namespace {

// The gost engine's key encodings must be registered before any GOST key is decoded.
void requireGostEncodings() {
    static const softtoken::GostVerifier verifier;
}

}  // namespace

Pkey gostPublicKey(int algorithmNid, const std::string& paramSet, const std::string& value) {
    requireGostEncodings();
    const std::string info = kelvo::test::gostPublicKeyInfo(algorithmNid, paramSet, value);
    const auto* in = reinterpret_cast<const unsigned char*>(info.data());
    ERR_set_mark();
    Pkey key(d2i_PUBKEY(nullptr, &in, static_cast<long>(info.size())));
    ERR_pop_to_mark();
    return key;
}

}  // namespace keyengine_test
