#include "cms_verifier.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <boost/date_time/posix_time/conversion.hpp>

#include "cms_signer.h"
#include "command_context.h"

namespace kelvo::host::app {

namespace {

[[noreturn]] void invalid(const std::string& reason) {
    ERR_clear_error();
    throw SignatureInvalid(reason);
}

CMS_ContentInfo* parse(const std::string& bytes) {
    BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    if (bytes.rfind("-----BEGIN", 0) == 0) {
        return PEM_read_bio_CMS(bio.get(), nullptr, nullptr, nullptr);
    }
    return d2i_CMS_bio(bio.get(), nullptr);
}

const ASN1_TIME* signingTimeOf(CMS_SignerInfo* signer) {
    const ASN1_OBJECT* type = OBJ_nid2obj(NID_pkcs9_signingTime);
    for (const int encoding : {V_ASN1_UTCTIME, V_ASN1_GENERALIZEDTIME}) {
        if (const void* time = CMS_signed_get0_data_by_OBJ(signer, type, -3, encoding)) {
            return static_cast<const ASN1_TIME*>(time);
        }
    }
    return nullptr;
}

std::optional<std::time_t> secondsOf(const ASN1_TIME* time) {
    std::tm parts{};
    if (!time || !ASN1_TIME_to_tm(time, &parts)) {
        return std::nullopt;
    }
    return boost::posix_time::to_time_t(boost::posix_time::ptime_from_tm(parts));
}

// The ESS structure of a signed attribute, decoded by OpenSSL; null when absent.
template <typename Ptr, auto Decode>
Ptr decodeAttribute(CMS_SignerInfo* signer, int nid) {
    const auto* value = static_cast<const ASN1_STRING*>(
        CMS_signed_get0_data_by_OBJ(signer, OBJ_nid2obj(nid), -3, V_ASN1_SEQUENCE));
    if (!value) {
        return nullptr;
    }
    const unsigned char* der = ASN1_STRING_get0_data(value);
    Ptr decoded(Decode(nullptr, &der, ASN1_STRING_length(value)));
    if (!decoded) {
        invalid(std::string(OBJ_nid2ln(nid)) + " attribute is malformed");
    }
    return decoded;
}

}  // namespace

CmsVerifier::CmsVerifier(const std::string& bytes) : cms_(parse(bytes)) {
    if (!cms_) {
        invalid("no CMS structure: " + takeOpenSslError("unreadable"));
    }
    if (OBJ_obj2nid(CMS_get0_type(cms_.get())) != NID_pkcs7_signed) {
        invalid("the CMS structure is no SignedData");
    }
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms_.get());
    if (sk_CMS_SignerInfo_num(signers) != 1) {
        invalid("expected one signer, found " + std::to_string(sk_CMS_SignerInfo_num(signers)));
    }
    signer_ = sk_CMS_SignerInfo_value(signers, 0);
    CMS_set1_signers_certs(cms_.get(), nullptr, 0);
    CMS_SignerInfo_get0_algs(signer_, nullptr, &certificate_, nullptr, nullptr);
    if (!certificate_) {
        invalid("the signer's certificate is not in the signature");
    }
    signedAt_ = secondsOf(signingTimeOf(signer_));
    ERR_clear_error();
}

bool CmsVerifier::detached() const {
    return CMS_is_detached(cms_.get()) == 1;
}

std::string CmsVerifier::signerSubject() const {
    BioPtr text(BIO_new(BIO_s_mem()));
    X509_NAME_print_ex(text.get(), X509_get_subject_name(certificate_), 0,
                       XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    return memoryBytes(text.get());
}

std::string CmsVerifier::signerSerial() const {
    const ASN1_INTEGER* serial = X509_get0_serialNumber(certificate_);
    return hex(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(serial)),
                           static_cast<std::size_t>(ASN1_STRING_length(serial))));
}

std::string CmsVerifier::signingTime() const {
    const ASN1_TIME* time = signingTimeOf(signer_);
    if (!time) {
        return "none";
    }
    BioPtr text(BIO_new(BIO_s_mem()));
    ASN1_TIME_print_ex(text.get(), time, ASN1_DTFLGS_ISO8601);
    return memoryBytes(text.get());
}

void CmsVerifier::checkSignature() const {
    if (CMS_signed_get_attr_count(signer_) < 0) {
        return;  // without signed attributes the signature covers the content itself
    }
    if (CMS_SignerInfo_verify(signer_) != 1) {
        invalid(
            "the signature over the signed attributes does not verify with the "
            "certificate's key");
    }
}

void CmsVerifier::checkContent(std::istream* content) const {
    BioPtr sink(content ? BIO_new(BIO_s_null()) : nullptr);
    BioPtr digests(CMS_dataInit(cms_.get(), sink.get()));
    if (!digests) {
        invalid("the content cannot be digested: " + takeOpenSslError("unknown digest"));
    }
    sink.release();  // the chain's end now
    if (content) {
        writeAll(*content, digests.get());
    } else {
        std::vector<char> buffer(1 << 16);
        while (BIO_read(digests.get(), buffer.data(), static_cast<int>(buffer.size())) > 0) {
        }
    }
    if (CMS_SignerInfo_verify_content(signer_, digests.get()) != 1) {
        invalid(CMS_signed_get_attr_count(signer_) < 0
                    ? "the signature does not verify over the content"
                    : "the message digest does not match the content");
    }
}

void CmsVerifier::checkSigningCertificate() const {
    const auto v1 = decodeAttribute<SigningCertificatePtr, d2i_ESS_SIGNING_CERT>(
        signer_, NID_id_smime_aa_signingCertificate);
    const auto v2 = decodeAttribute<SigningCertificateV2Ptr, d2i_ESS_SIGNING_CERT_V2>(
        signer_, NID_id_smime_aa_signingCertificateV2);
    if (!v1 && !v2) {
        return;
    }
    CertificatesPtr signer(sk_X509_new_null());
    if (!signer || !X509_up_ref(certificate_) || !sk_X509_push(signer.get(), certificate_)) {
        throw std::bad_alloc();
    }
    if (OSSL_ESS_check_signing_certs(v1.get(), v2.get(), signer.get(), 0) != 1) {
        invalid(std::string(v2 ? "signingCertificateV2" : "signingCertificate") +
                " does not name the certificate in the signature");
    }
}

void CmsVerifier::checkChain(const std::vector<X509Ptr>& authorities) const {
    X509StorePtr store(X509_STORE_new());
    if (!store) {
        throw std::bad_alloc();
    }
    for (const auto& authority : authorities) {
        X509_STORE_add_cert(store.get(), authority.get());
    }
    if (authorities.empty()) {
        X509_STORE_set_default_paths(store.get());
    }
    if (signedAt_) {
        X509_VERIFY_PARAM_set_time(X509_STORE_get0_param(store.get()), *signedAt_);
    }
    CertificatesPtr enclosed(CMS_get1_certs(cms_.get()));
    X509StoreContextPtr context(X509_STORE_CTX_new());
    if (!context ||
        !X509_STORE_CTX_init(context.get(), store.get(), certificate_, enclosed.get()) ||
        !X509_STORE_CTX_set_default(context.get(), "smime_sign")) {
        throw std::bad_alloc();
    }
    if (X509_verify_cert(context.get()) != 1) {
        invalid(std::string("the certificate does not verify") +
                (signedAt_ ? " at the signing time: " : ": ") +
                X509_verify_cert_error_string(X509_STORE_CTX_get_error(context.get())));
    }
    ERR_clear_error();
}

}  // namespace kelvo::host::app
