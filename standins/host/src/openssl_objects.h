#pragma once

#include <memory>
#include <string>

// cms.h declares the CMS PEM functions only after pem.h.
#include <openssl/pem.h>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/ess.h>
#include <openssl/x509.h>

namespace kelvo::host::app {

template <auto Release>
struct OpenSslRelease {
    template <typename T>
    void operator()(T* object) const {
        Release(object);
    }
};

template <typename T, auto Release>
using OpenSslPtr = std::unique_ptr<T, OpenSslRelease<Release>>;

inline void freeCertificates(STACK_OF(X509) * certificates) {
    sk_X509_pop_free(certificates, X509_free);
}

using BioPtr = OpenSslPtr<BIO, BIO_free_all>;
using CmsPtr = OpenSslPtr<CMS_ContentInfo, CMS_ContentInfo_free>;
using X509Ptr = OpenSslPtr<X509, X509_free>;
using CertificatesPtr = OpenSslPtr<STACK_OF(X509), freeCertificates>;
using X509StorePtr = OpenSslPtr<X509_STORE, X509_STORE_free>;
using X509StoreContextPtr = OpenSslPtr<X509_STORE_CTX, X509_STORE_CTX_free>;
using SigningCertificatePtr = OpenSslPtr<ESS_SIGNING_CERT, ESS_SIGNING_CERT_free>;
using SigningCertificateV2Ptr = OpenSslPtr<ESS_SIGNING_CERT_V2, ESS_SIGNING_CERT_V2_free>;

// The reason of the first error in OpenSSL's queue with its details, or fallback when it
// recorded none; empties the queue.
std::string takeOpenSslError(const std::string& fallback);

// The bytes a memory BIO holds.
std::string memoryBytes(BIO* memory);

// GOST R 34.10/34.11-2012 for OpenSSL's own code in this process (CMS, certificate
// verification): the gost engine's digests, key methods and key encodings. Throws
// std::runtime_error when the engine is missing.
void requireGostAlgorithms();

}  // namespace kelvo::host::app
