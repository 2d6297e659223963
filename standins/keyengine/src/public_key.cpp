#include "public_key.h"

#include <openssl/err.h>
#include <openssl/objects.h>

namespace rtengine {

namespace {

// DER tag-length-value with a definite length (short or one/two-byte long form).
std::string tlv(unsigned char tag, const std::string& content) {
    std::string out(1, static_cast<char>(tag));
    const std::size_t size = content.size();
    if (size < 0x80) {
        out += static_cast<char>(size);
    } else if (size < 0x100) {
        out += '\x81';
        out += static_cast<char>(size);
    } else {
        out += '\x82';
        out += static_cast<char>(size >> 8);
        out += static_cast<char>(size & 0xFF);
    }
    return out + content;
}

std::string objectDer(int nid) {
    const ASN1_OBJECT* object = OBJ_nid2obj(nid);
    return tlv(0x06, std::string(reinterpret_cast<const char*>(OBJ_get0_data(object)),
                                 OBJ_length(object)));
}

}  // namespace

PkeyPtr decodePublicKey(const GostKeyPair& pair) {
    // SEQUENCE { SEQUENCE { algorithm, SEQUENCE { paramSet } },
    //            BIT STRING { OCTET STRING { x || y } } }
    const std::string algorithm =
        tlv(0x30, objectDer(pair.algorithmNid) + tlv(0x30, pair.paramSet));
    const std::string subjectPublicKey =
        tlv(0x03, std::string(1, '\0') + tlv(0x04, pair.publicValue));
    const std::string info = tlv(0x30, algorithm + subjectPublicKey);

    // The provider decoders are tried first and fail on GOST keys before the engine's
    // method succeeds; none of that belongs in the caller's error queue.
    ERR_set_mark();
    const auto* in = reinterpret_cast<const unsigned char*>(info.data());
    PkeyPtr key(d2i_PUBKEY(nullptr, &in, static_cast<long>(info.size())));
    ERR_pop_to_mark();
    return key;
}

}  // namespace rtengine
