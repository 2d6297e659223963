#include "cms_signer.h"

#include <stdexcept>

#include <openssl/err.h>
#include <openssl/pem.h>

namespace kelvo::host::app {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("CMS signing failed: " + what + ": " + takeOpenSslError("unknown"));
}

}  // namespace

void writeAll(std::istream& from, BIO* to) {
    std::vector<char> buffer(1 << 16);
    while (from.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
           from.gcount() > 0) {
        const int count = static_cast<int>(from.gcount());
        if (BIO_write(to, buffer.data(), count) != count) {
            throw std::runtime_error("cannot digest the content: " +
                                     takeOpenSslError("write refused"));
        }
    }
}

std::string signCms(X509* certificate, EVP_PKEY* key, const std::vector<X509Ptr>& chain,
                    std::istream& content, const CmsLayout& layout) {
    const unsigned int flags = CMS_BINARY | CMS_PARTIAL | (layout.attached ? 0 : CMS_DETACHED);
    CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
    if (!cms) {
        fail("no SignedData");
    }
    // No digest given: the key's own (GOST R 34.11-2012 of its size). CAdES adds
    // signingCertificateV2 with that digest; S/MIME capabilities have no place here.
    if (!CMS_add1_signer(cms.get(), certificate, key, nullptr,
                         CMS_BINARY | CMS_CADES | CMS_NOSMIMECAP)) {
        fail("the signer is refused");
    }
    for (const auto& extra : chain) {
        if (!CMS_add1_cert(cms.get(), extra.get())) {
            if (ERR_GET_REASON(ERR_peek_last_error()) != CMS_R_CERTIFICATE_ALREADY_PRESENT) {
                fail("a chain certificate is refused");
            }
            ERR_clear_error();  // the signer's own, or one given twice: kept once
        }
    }
    BioPtr digests(CMS_dataInit(cms.get(), nullptr));
    if (!digests) {
        fail("no digest");
    }
    writeAll(content, digests.get());
    // The signature: the signed attributes digested and handed to the key.
    if (BIO_flush(digests.get()) <= 0 || !CMS_dataFinal(cms.get(), digests.get())) {
        fail("the key did not sign");
    }
    // Checked with the certificate's own key: a token that pairs the certificate with another
    // key pair must not sign in its holder's name.
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
    CMS_SignerInfo_set1_signer_cert(signer, certificate);
    if (CMS_SignerInfo_verify(signer) != 1) {
        fail("the signature does not verify with the signer's certificate");
    }
    BioPtr der(BIO_new(BIO_s_mem()));
    if (!i2d_CMS_bio(der.get(), cms.get())) {
        fail("no encoding");
    }
    if (!layout.pem) {
        return memoryBytes(der.get());
    }
    // The PKCS7 label: GnuTLS reads no other, OpenSSL takes it for CMS too.
    const std::string bytes = memoryBytes(der.get());
    BioPtr encoded(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio(encoded.get(), PEM_STRING_PKCS7, "",
                       reinterpret_cast<const unsigned char*>(bytes.data()),
                       static_cast<long>(bytes.size()))) {
        fail("no PEM encoding");
    }
    return memoryBytes(encoded.get());
}

}  // namespace kelvo::host::app
