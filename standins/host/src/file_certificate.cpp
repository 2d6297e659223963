#include "file_certificate.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/pem.h>
#include <boost/date_time/posix_time/conversion.hpp>
#include <boost/smart_ptr/make_shared.hpp>

namespace kelvo::host::app {

namespace {

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;

X509* parse(const std::string& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (X509* der = d2i_X509(nullptr, &data, static_cast<long>(bytes.size()))) {
        return der;
    }
    Bio bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())), BIO_free);
    return bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
}

std::string nameText(const X509_NAME* name) {
    Bio bio(BIO_new(BIO_s_mem()), BIO_free);
    X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

boost::posix_time::ptime timeOf(const ASN1_TIME* time) {
    std::tm parts{};
    ASN1_TIME_to_tm(time, &parts);
    return boost::posix_time::ptime_from_tm(parts);
}

}  // namespace

FileCertificate::FileCertificate(const std::string& bytes) : x509_(parse(bytes), X509_free) {
    if (!x509_) {
        throw std::runtime_error("not a certificate (DER or PEM expected)");
    }
    unsigned char* out = nullptr;
    const int length = i2d_X509(x509_.get(), &out);
    der_.assign(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
    OPENSSL_free(out);
}

boost::shared_ptr<FileCertificate> FileCertificate::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return boost::make_shared<FileCertificate>(bytes);
}

long FileCertificate::version() const {
    return X509_get_version(x509_.get()) + 1;
}

std::string FileCertificate::issuer() const {
    return nameText(X509_get_issuer_name(x509_.get()));
}

std::string FileCertificate::subject() const {
    return nameText(X509_get_subject_name(x509_.get()));
}

std::string FileCertificate::serialNumber() const {
    // The DER content octets, sign byte included, as the module's own reader gives them.
    const ASN1_INTEGER* serial = X509_get0_serialNumber(x509_.get());
    const auto* bytes = reinterpret_cast<const char*>(ASN1_STRING_get0_data(serial));
    std::string value(bytes, static_cast<std::size_t>(ASN1_STRING_length(serial)));
    if (!value.empty() && static_cast<unsigned char>(value.front()) & 0x80) {
        value.insert(value.begin(), '\0');
    }
    return std::string(value.rbegin(), value.rend());
}

boost::posix_time::ptime FileCertificate::notBefore() const {
    return timeOf(X509_get0_notBefore(x509_.get()));
}

boost::posix_time::ptime FileCertificate::notAfter() const {
    return timeOf(X509_get0_notAfter(x509_.get()));
}

boost::optional<std::string> FileCertificate::thumbprint() const {
    std::string digest(20, '\0');
    unsigned int length = 0;
    X509_digest(x509_.get(), EVP_sha1(), reinterpret_cast<unsigned char*>(digest.data()), &length);
    digest.resize(length);
    return digest;
}

}  // namespace kelvo::host::app
