// Owning handles for the OpenSSL objects the token uses.
#pragma once

#include <openssl/bn.h>
#include <openssl/engine.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <memory>

namespace softtoken {

template <auto Release>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const {
        Release(object);
    }
};

template <typename T, auto Release>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<Release>>;

using LibCtxPtr = OpenSslPtr<OSSL_LIB_CTX, OSSL_LIB_CTX_free>;
using ProviderPtr = OpenSslPtr<OSSL_PROVIDER, OSSL_PROVIDER_unload>;
using MdPtr = OpenSslPtr<EVP_MD, EVP_MD_free>;
using MdCtxPtr = OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using CipherPtr = OpenSslPtr<EVP_CIPHER, EVP_CIPHER_free>;
using CipherCtxPtr = OpenSslPtr<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>;
using KdfPtr = OpenSslPtr<EVP_KDF, EVP_KDF_free>;
using KdfCtxPtr = OpenSslPtr<EVP_KDF_CTX, EVP_KDF_CTX_free>;
using PkeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using PkeyCtxPtr = OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using X509PubkeyPtr = OpenSslPtr<X509_PUBKEY, X509_PUBKEY_free>;
using X509Ptr = OpenSslPtr<X509, X509_free>;
using Asn1OctetStringPtr = OpenSslPtr<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>;
using Asn1ObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;
using Asn1StringPtr = OpenSslPtr<ASN1_STRING, ASN1_STRING_free>;
using BignumPtr = OpenSslPtr<BIGNUM, BN_clear_free>;

// An ENGINE reference taken with ENGINE_by_id and initialised with ENGINE_init.
struct EngineRelease {
    void operator()(ENGINE* engine) const {
        ENGINE_finish(engine);
        ENGINE_free(engine);
    }
};
using EnginePtr = std::unique_ptr<ENGINE, EngineRelease>;

}  // namespace softtoken
