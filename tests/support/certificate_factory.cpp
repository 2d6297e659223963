#include "certificate_factory.h"

#include <stdexcept>

#include <openssl/bn.h>
#include <openssl/x509.h>

#include "gost_key_pair.h"

namespace kelvo::test {

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("certificate factory: ") + what);
    }
}

}  // namespace

CertificateFactory::CertificateFactory() : engine_(ENGINE_by_id("gost")), caKey_(nullptr) {
    require(engine_ && ENGINE_init(engine_), "no gost engine");
    ENGINE_register_pkey_asn1_meths(engine_);
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(NID_id_GostR3410_2012_256, engine_);
    require(context && EVP_PKEY_keygen_init(context) > 0 &&
                EVP_PKEY_CTX_ctrl_str(context, "paramset", "A") > 0 &&
                EVP_PKEY_keygen(context, &caKey_) > 0,
            "CA key generation");
    EVP_PKEY_CTX_free(context);
}

CertificateFactory::~CertificateFactory() {
    EVP_PKEY_free(caKey_);
    ENGINE_finish(engine_);
    ENGINE_free(engine_);
}

std::string CertificateFactory::issue(const std::string& publicValue, const std::string& serialHex,
                                      const std::string& commonName) const {
    const std::string spki = gostPublicKeyInfo(NID_id_GostR3410_2012_256,
                                               kParamSetCryptoProA + kStreebog256Oid, publicValue);
    const auto* cursor = reinterpret_cast<const unsigned char*>(spki.data());
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        d2i_PUBKEY(nullptr, &cursor, static_cast<long>(spki.size())), EVP_PKEY_free);
    require(key != nullptr, "public key decoding");

    std::unique_ptr<X509, decltype(&X509_free)> certificate(X509_new(), X509_free);
    BIGNUM* serial = nullptr;
    require(BN_hex2bn(&serial, serialHex.c_str()) > 0, "serial");
    BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(certificate.get()));
    BN_free(serial);
    X509_set_version(certificate.get(), 2);
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_NAME* issuer = X509_get_issuer_name(certificate.get());
    X509_NAME_add_entry_by_txt(issuer, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Test CA"), -1, -1, 0);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 86400L * 365);
    require(X509_set_pubkey(certificate.get(), key.get()) == 1, "set public key");
    const EVP_MD* digest = ENGINE_get_digest(engine_, NID_id_GostR3411_2012_256);
    require(digest && X509_sign(certificate.get(), caKey_, digest) > 0, "signing");

    const int length = i2d_X509(certificate.get(), nullptr);
    std::string der(static_cast<std::size_t>(length), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(certificate.get(), &out);
    return der;
}

}  // namespace kelvo::test
