#include "ssl/signature_check.h"

#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "ssl/scoped_handle.h"

namespace kelvo::plugin::ssl {

namespace {

void releaseEngine(ENGINE* engine) {
    ENGINE_finish(engine);
    ENGINE_free(engine);
}

// OpenSSL's GOST engine, loaded once. Its key encodings are registered so that GOST public
// keys decode; key operations are given the engine explicitly.
ENGINE* gostEngine() {
    static const scoped_handle<ENGINE> engine = [] {
        ERR_set_mark();
        ENGINE* found = ENGINE_by_id("gost");
        if (found != nullptr && !ENGINE_init(found)) {
            ENGINE_free(found);
            found = nullptr;
        }
        scoped_handle<ENGINE> loaded(found, releaseEngine);
        if (loaded && !ENGINE_register_pkey_asn1_meths(loaded.get())) {
            loaded.reset();
        }
        ERR_pop_to_mark();
        return loaded;
    }();
    return engine.get();
}

// The certificate's key decoded anew: a key that did not decode when the certificate was
// read (before the GOST encodings were known) is not cached by OpenSSL.
scoped_handle<EVP_PKEY> publicKeyOf(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
    scoped_handle<EVP_PKEY> key(nullptr, EVP_PKEY_free);
    if (length > 0) {
        const unsigned char* cursor = der;
        key.reset(d2i_PUBKEY(nullptr, &cursor, length));
    }
    OPENSSL_free(der);
    return key;
}

}  // namespace

SignatureCheck checkDigestSignature(X509* certificate, const std::string& digest,
                                    const std::string& signature) {
    ENGINE* engine = gostEngine();
    if (certificate == nullptr || engine == nullptr) {
        return SignatureCheck::Unavailable;
    }
    ERR_set_mark();
    const scoped_handle<EVP_PKEY> key = publicKeyOf(certificate);
    const scoped_handle<EVP_PKEY_CTX> context(key ? EVP_PKEY_CTX_new(key.get(), engine) : nullptr,
                                              EVP_PKEY_CTX_free);
    SignatureCheck result = SignatureCheck::Unavailable;
    if (context && EVP_PKEY_verify_init(context.get()) > 0) {
        const int verified = EVP_PKEY_verify(
            context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
            signature.size(), reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
        result = verified == 1 ? SignatureCheck::Valid : SignatureCheck::Invalid;
    }
    ERR_pop_to_mark();
    return result;
}

}  // namespace kelvo::plugin::ssl
