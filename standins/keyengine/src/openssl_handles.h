// Owning handles for the OpenSSL objects the engine creates.
#pragma once

#include <openssl/asn1.h>
#include <openssl/engine.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace rtengine {

template <auto Release>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const {
        Release(object);
    }
};

template <typename T, auto Release>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<Release>>;

using PkeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using PkeyMethodPtr = OpenSslPtr<EVP_PKEY_METHOD, EVP_PKEY_meth_free>;
using X509PubkeyPtr = OpenSslPtr<X509_PUBKEY, X509_PUBKEY_free>;
using Asn1StringPtr = OpenSslPtr<ASN1_STRING, ASN1_STRING_free>;
using Asn1OctetStringPtr = OpenSslPtr<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>;

// A structural ENGINE reference (ENGINE_new, or ENGINE_by_id before ENGINE_init).
using EngineStructPtr = OpenSslPtr<ENGINE, ENGINE_free>;

// A functional ENGINE reference: ENGINE_init succeeded on a structural one, which it keeps.
struct EngineFunctionalRelease {
    void operator()(ENGINE* engine) const {
        ENGINE_finish(engine);
        ENGINE_free(engine);
    }
};
using EngineFunctionalPtr = std::unique_ptr<ENGINE, EngineFunctionalRelease>;

}  // namespace rtengine
