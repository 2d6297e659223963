#include "ssl/certificate.h"

#include <algorithm>
#include <climits>
#include <locale>
#include <sstream>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/locale/encoding_utf.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "exception/crypto.h"
#include "ssl/public_key.h"
#include "ssl/tools.h"
#include "x509_name.h"

namespace kelvo::plugin::ssl {

namespace {

using boost::posix_time::ptime;

const char kSubjectSignToolOid[] = "1.2.643.100.111";
const char kIssuerSignToolOid[] = "1.2.643.100.112";
const char kGostCertificateExtensionOid[] = "1.2.643.2.2.49.2";

template <class T>
scoped_handle<T> extension(const X509* x509, int nid, void (*release)(T*)) {
    return scoped_handle<T>(static_cast<T*>(X509_get_ext_d2i(x509, nid, nullptr, nullptr)),
                            release);
}

scoped_handle<PKEY_USAGE_PERIOD> keyUsagePeriod(const X509* x509) {
    return extension(x509, NID_private_key_usage_period, PKEY_USAGE_PERIOD_free);
}

bool timeValid(const ASN1_TIME* time) {
    return time != nullptr && ASN1_TIME_check(time) == 1;
}

ptime toPtime(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) {
        return ptime(boost::posix_time::not_a_date_time);
    }
    try {
        return boost::posix_time::ptime_from_tm(parts);
    } catch (const std::out_of_range&) {
        return ptime(boost::posix_time::not_a_date_time);
    }
}

boost::optional<ptime> generalizedTime(const ASN1_GENERALIZEDTIME* time) {
    if (time == nullptr) {
        return boost::none;
    }
    const std::string text(reinterpret_cast<const char*>(ASN1_STRING_get0_data(time)),
                           static_cast<std::size_t>(ASN1_STRING_length(time)));
    std::istringstream input(text);
    // The locale takes ownership of the facet.
    input.imbue(std::locale(std::locale::classic(),
                            new boost::posix_time::time_input_facet("%Y%m%d%H%M%S")));
    ptime result(boost::posix_time::not_a_date_time);
    input >> result;
    if (input.fail() || result.is_special()) {
        return boost::none;
    }
    return result;
}

int findExtension(const X509* x509, const char* oid) {
    const scoped_handle<ASN1_OBJECT> object(OBJ_txt2obj(oid, 1), ASN1_OBJECT_free);
    return object ? X509_get_ext_by_OBJ(x509, object.get(), -1) : -1;
}

// The extension value decoded as one ASN.1 value: the characters of a string type, the
// complete encoding of a SEQUENCE or SET.
boost::optional<std::wstring> extensionText(const X509* x509, const char* oid) {
    const int index = findExtension(x509, oid);
    if (index < 0) {
        return boost::none;
    }
    const ASN1_OCTET_STRING* data = X509_EXTENSION_get_data(X509_get_ext(x509, index));
    if (data == nullptr) {
        return boost::none;
    }
    const unsigned char* bytes = ASN1_STRING_get0_data(data);
    const scoped_handle<ASN1_TYPE> value(d2i_ASN1_TYPE(nullptr, &bytes, ASN1_STRING_length(data)),
                                         ASN1_TYPE_free);
    if (!value) {
        return boost::none;
    }
    switch (ASN1_TYPE_get(value.get())) {
        case V_ASN1_BOOLEAN:
        case V_ASN1_NULL:
        case V_ASN1_OBJECT:
            return boost::none;
        default:
            break;
    }
    const ASN1_STRING* string = value.get()->value.asn1_string;
    if (string == nullptr) {
        return boost::none;
    }
    const auto* begin = reinterpret_cast<const char*>(ASN1_STRING_get0_data(string));
    return boost::locale::conv::utf_to_utf<wchar_t>(begin, begin + ASN1_STRING_length(string));
}

}  // namespace

Certificate::Certificate(scoped_handle<X509> x509, Private) : x509_(std::move(x509)) {}

Certificate::~Certificate() = default;

boost::shared_ptr<Certificate> Certificate::makeFromDer(const std::string& der) {
    return makeFromDer(reinterpret_cast<const unsigned char*>(der.data()), der.size());
}

boost::shared_ptr<Certificate> Certificate::makeFromDer(const unsigned char* data,
                                                        std::size_t length) {
    using crypto::exception::CertificateContextFailed;
    using crypto::exception::CryptoException;

    const unsigned char* cursor = data;
    scoped_handle<X509> x509(data != nullptr && length <= LONG_MAX
                                 ? d2i_X509(nullptr, &cursor, static_cast<long>(length))
                                 : nullptr,
                             X509_free);
    bool complete = x509 && X509_get_subject_name(x509.get()) != nullptr &&
                    X509_get_issuer_name(x509.get()) != nullptr &&
                    X509_get0_serialNumber(x509.get()) != nullptr &&
                    timeValid(X509_get0_notBefore(x509.get())) &&
                    timeValid(X509_get0_notAfter(x509.get()));
    if (complete) {
        const auto period = keyUsagePeriod(x509.get());
        if (period) {
            complete = (period.get()->notBefore == nullptr || timeValid(period.get()->notBefore)) &&
                       (period.get()->notAfter == nullptr || timeValid(period.get()->notAfter));
        }
    }
    // Parsing may leave errors queued; they belong to this failure, not to a later call.
    ERR_clear_error();
    if (!complete) {
        BOOST_THROW_EXCEPTION(CryptoException(CertificateContextFailed));
    }
    return boost::make_shared<Certificate>(std::move(x509), Private());
}

void* Certificate::storeContext() const {
    return nullptr;
}

const crypto::ICertificate* Certificate::tokenCertificate() const {
    return nullptr;
}

const crypto::ICertificate* Certificate::sslCertificate() const {
    return this;
}

boost::shared_ptr<crypto::IPrivateKey> Certificate::privateKey() {
    return {};
}

boost::shared_ptr<crypto::IPublicKey> Certificate::publicKey() {
    if (!publicKey_) {
        publicKey_ = boost::make_shared<PublicKey>(X509_get_X509_PUBKEY(x509_.get()));
    }
    return publicKey_;
}

boost::shared_ptr<crypto::IProvider> Certificate::provider(const std::wstring&) {
    return {};
}

boost::optional<std::wstring> Certificate::container() {
    return boost::none;
}

long Certificate::version() const {
    return X509_get_version(x509_.get());
}

std::string Certificate::der() const {
    const int length = i2d_X509(x509_.get(), nullptr);
    if (length <= 0) {
        return {};
    }
    std::string der(static_cast<std::size_t>(length), '\0');
    auto* cursor = reinterpret_cast<unsigned char*>(&der[0]);
    return i2d_X509(x509_.get(), &cursor) == length ? der : std::string();
}

std::string Certificate::issuer() const {
    return nameText(X509_get_issuer_name(x509_.get()));
}

std::string Certificate::subject() const {
    return nameText(X509_get_subject_name(x509_.get()));
}

std::string Certificate::serialNumber() const {
    const ASN1_INTEGER* serial = X509_get0_serialNumber(x509_.get());
    if (serial == nullptr || ASN1_STRING_length(serial) <= 0) {
        return {};
    }
    const auto* bytes = reinterpret_cast<const char*>(ASN1_STRING_get0_data(serial));
    std::string result(bytes, static_cast<std::size_t>(ASN1_STRING_length(serial)));
    // Keep the DER sign byte, so the value reads as positive in either byte order.
    if (static_cast<unsigned char>(result.front()) & 0x80) {
        result.insert(result.begin(), '\0');
    }
    std::reverse(result.begin(), result.end());
    return result;
}

std::string Certificate::hashAlgorithm() {
    const auto key = publicKey();
    if (!key || key->algorithm().empty()) {
        return {};
    }
    if (key->algorithm() == "1.2.643.2.2.19") {
        return "1.2.643.2.2.9";
    }
    if (key->algorithm() == "1.2.643.7.1.1.1.1") {
        return "1.2.643.7.1.1.2.2";
    }
    return "1.2.643.7.1.1.2.3";
}

std::string Certificate::signatureAlgorithm() const {
    const X509_ALGOR* algorithm = X509_get0_tbs_sigalg(x509_.get());
    if (algorithm == nullptr) {
        return {};
    }
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    return oidText(object);
}

std::string Certificate::storeName() const {
    return {};
}

crypto::NameRecord Certificate::issuerName() const {
    return nameRecord(X509_get_issuer_name(x509_.get()));
}

crypto::NameRecord Certificate::subjectName() const {
    return nameRecord(X509_get_subject_name(x509_.get()));
}

ptime Certificate::notBefore() const {
    return toPtime(X509_get0_notBefore(x509_.get()));
}

ptime Certificate::notAfter() const {
    return toPtime(X509_get0_notAfter(x509_.get()));
}

boost::optional<std::uint16_t> Certificate::keyUsage() const {
    const auto usage = extension(x509_.get(), NID_key_usage, ASN1_BIT_STRING_free);
    if (!usage || ASN1_STRING_length(usage.get()) < 1) {
        return boost::none;
    }
    const unsigned char* bits = ASN1_STRING_get0_data(usage.get());
    const unsigned high = ASN1_STRING_length(usage.get()) > 1 ? bits[1] : 0u;
    return static_cast<std::uint16_t>(bits[0] | (high << 8));
}

boost::optional<std::wstring> Certificate::subjectSignTool() const {
    return extensionText(x509_.get(), kSubjectSignToolOid);
}

boost::optional<std::wstring> Certificate::issuerSignTool() const {
    return extensionText(x509_.get(), kIssuerSignToolOid);
}

boost::optional<ptime> Certificate::privateKeyNotBefore() const {
    const auto period = keyUsagePeriod(x509_.get());
    return period ? generalizedTime(period.get()->notBefore) : boost::none;
}

boost::optional<ptime> Certificate::privateKeyNotAfter() const {
    const auto period = keyUsagePeriod(x509_.get());
    return period ? generalizedTime(period.get()->notAfter) : boost::none;
}

std::vector<std::string> Certificate::extendedKeyUsages() const {
    std::vector<std::string> purposes;
    const auto usages = extension(x509_.get(), NID_ext_key_usage, EXTENDED_KEY_USAGE_free);
    if (usages) {
        for (int i = 0; i < sk_ASN1_OBJECT_num(usages.get()); ++i) {
            purposes.push_back(oidText(sk_ASN1_OBJECT_value(usages.get(), i)));
        }
    }
    return purposes;
}

boost::optional<std::string> Certificate::thumbprint() const {
    const EVP_MD* sha1 = EVP_get_digestbyname(OBJ_nid2sn(NID_sha1));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (sha1 == nullptr || X509_digest(x509_.get(), sha1, digest, &length) != 1) {
        return boost::none;
    }
    return std::string(reinterpret_cast<const char*>(digest), length);
}

boost::optional<std::wstring> Certificate::install(const boost::shared_ptr<crypto::IProvider>&,
                                                   const wchar_t*, std::size_t,
                                                   const std::string&) {
    return boost::none;
}

bool Certificate::isInStore(const std::string&, bool) const {
    return false;
}

bool Certificate::isValidContext() const {
    return true;
}

bool Certificate::hasExtension() const {
    return findExtension(x509_.get(), kGostCertificateExtensionOid) >= 0;
}

X509* Certificate::x509() const {
    return x509_.get();
}

}  // namespace kelvo::plugin::ssl
