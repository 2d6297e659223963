#include "bench_support.h"

#include <openssl/bn.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/scoped_session.h"

namespace kelvo::bench {

namespace cryptoki = plugin::cryptoki;

const std::string kParamSetCryptoProA("\x06\x07\x2A\x85\x03\x02\x02\x23\x01", 9);
const std::string kStreebog256("\x06\x08\x2A\x85\x03\x07\x01\x01\x02\x02", 10);

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

void require(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error("bench: " + what);
    }
}

void check(CK_RV rv, const std::string& call) {
    require(rv == CKR_OK, call + " returned " + std::to_string(rv));
}

CK_UTF8CHAR* pinBytes(const char* pin) {
    return reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin));
}

std::string tlv(unsigned char tag, const std::string& content) {
    require(content.size() < 128, "long DER content");
    return std::string(1, static_cast<char>(tag)) + static_cast<char>(content.size()) + content;
}

std::string subjectPublicKeyInfo(const std::string& publicValue) {
    const std::string algorithm("\x06\x08\x2A\x85\x03\x07\x01\x01\x01\x01", 10);
    const std::string parameters = tlv(0x30, kParamSetCryptoProA + kStreebog256);
    const std::string key = std::string(1, '\0') + tlv(0x04, publicValue);
    return tlv(0x30, tlv(0x30, algorithm + parameters) + tlv(0x03, key));
}

}  // namespace

GeneratedBuffer::GeneratedBuffer(std::uint64_t size) : block_(kBlockSize), size_(size) {
    std::mt19937_64 generator(20260101);
    std::generate(block_.begin(), block_.end(), [&] { return static_cast<char>(generator()); });
}

GeneratedBuffer::int_type GeneratedBuffer::underflow() {
    if (next_ >= size_) {
        return traits_type::eof();
    }
    // The block repeats, so any offset maps into it.
    const std::size_t offset = next_ % block_.size();
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(block_.size() - offset, size_ - next_));
    char* begin = block_.data() + offset;
    setg(begin, begin, begin + count);
    next_ += count;
    return traits_type::to_int_type(*begin);
}

GeneratedBuffer::pos_type GeneratedBuffer::seekoff(off_type offset,
                                                   std::ios_base::seekdir direction,
                                                   std::ios_base::openmode mode) {
    const auto current = static_cast<off_type>(next_) - (egptr() - gptr());
    off_type target = offset;
    if (direction == std::ios_base::cur) {
        target += current;
    } else if (direction == std::ios_base::end) {
        target += static_cast<off_type>(size_);
    }
    return seekpos(pos_type(target), mode);
}

GeneratedBuffer::pos_type GeneratedBuffer::seekpos(pos_type position, std::ios_base::openmode) {
    const auto target = static_cast<off_type>(position);
    if (target < 0 || static_cast<std::uint64_t>(target) > size_) {
        return pos_type(off_type(-1));
    }
    next_ = static_cast<std::uint64_t>(target);
    setg(nullptr, nullptr, nullptr);
    return position;
}

void writeGeneratedFile(const std::string& path, std::uint64_t size) {
    GeneratedStream in(size);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk(kBlockSize);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        out.write(chunk.data(), in.gcount());
    }
    require(static_cast<bool>(out.flush()), "cannot write " + path);
}

Streebog::Streebog() : context_(OSSL_LIB_CTX_new()) {
    require(context_ != nullptr, "no OpenSSL library context");
    provider_.reset(OSSL_PROVIDER_load(context_.get(), "gostprov"));
    require(provider_ != nullptr, "cannot load the gostprov provider");
    md_.reset(EVP_MD_fetch(context_.get(), "md_gost12_256", nullptr));
    require(md_ != nullptr, "no md_gost12_256");
}

Streebog::~Streebog() = default;

std::string Streebog::digest(std::istream& data, std::size_t chunk) const {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
    require(context && EVP_DigestInit_ex2(context.get(), md_.get(), nullptr) == 1, "digest init");
    std::vector<char> buffer(chunk);
    while (data.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
           data.gcount() > 0) {
        require(EVP_DigestUpdate(context.get(), buffer.data(),
                                 static_cast<std::size_t>(data.gcount())) == 1,
                "digest update");
    }
    std::string out(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    require(EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(out.data()),
                               &length) == 1,
            "digest final");
    out.resize(length);
    return out;
}

boost::shared_ptr<cryptoki::ICryptoki> BenchToken::createCryptoki() {
    return boost::make_shared<cryptoki::ZolvexCryptoki>();
}

void provisionIfNeeded(cryptoki::ICryptoki& library, CK_SLOT_ID slot) {
    CK_FUNCTION_LIST* f = library.functions();
    CK_TOKEN_INFO info{};
    check(f->C_GetTokenInfo(slot, &info), "C_GetTokenInfo");
    if ((info.flags & CKF_TOKEN_INITIALIZED) && (info.flags & CKF_USER_PIN_INITIALIZED)) {
        return;
    }
    CK_UTF8CHAR label[32];
    std::memset(label, ' ', sizeof label);
    std::memcpy(label, "bench", 5);
    check(f->C_InitToken(slot, pinBytes(kSoPin), 8, label), "C_InitToken");
    CK_SESSION_HANDLE session = 0;
    check(f->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
          "C_OpenSession");
    check(f->C_Login(session, CKU_SO, pinBytes(kSoPin), 8), "C_Login");
    check(f->C_InitPIN(session, pinBytes(kUserPin), 8), "C_InitPIN");
    check(f->C_CloseSession(session), "C_CloseSession");
}

boost::shared_ptr<cryptoki::Device> deviceOf(BenchToken& token) {
    for (const auto& device : token.devices()) {
        if (device->slot == kSlot) {
            return device;
        }
    }
    throw std::runtime_error("bench: no device in slot 0");
}

CertificateIssuer::CertificateIssuer() : engine_(ENGINE_by_id("gost")) {
    require(engine_ && ENGINE_init(engine_.get()), "no gost engine");
    ENGINE_register_pkey_asn1_meths(engine_.get());
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(
        EVP_PKEY_CTX_new_id(NID_id_GostR3410_2012_256, engine_.get()), EVP_PKEY_CTX_free);
    EVP_PKEY* key = nullptr;
    require(context && EVP_PKEY_keygen_init(context.get()) > 0 &&
                EVP_PKEY_CTX_ctrl_str(context.get(), "paramset", "A") > 0 &&
                EVP_PKEY_keygen(context.get(), &key) > 0,
            "CA key generation");
    caKey_.reset(key);
}

CertificateIssuer::~CertificateIssuer() = default;

std::string CertificateIssuer::issue(const std::string& publicValue, long serial,
                                     const std::string& commonName) const {
    const std::string spki = subjectPublicKeyInfo(publicValue);
    const auto* cursor = reinterpret_cast<const unsigned char*>(spki.data());
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        d2i_PUBKEY(nullptr, &cursor, static_cast<long>(spki.size())), EVP_PKEY_free);
    require(key != nullptr, "public key decoding");
    std::unique_ptr<X509, decltype(&X509_free)> certificate(X509_new(), X509_free);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial);
    X509_set_version(certificate.get(), 2);
    const auto* name = reinterpret_cast<const unsigned char*>(commonName.c_str());
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate.get()), "CN", MBSTRING_UTF8, name,
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(X509_get_issuer_name(certificate.get()), "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Bench CA"), -1, -1, 0);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 86400L * 365);
    require(X509_set_pubkey(certificate.get(), key.get()) == 1, "set public key");
    const EVP_MD* digest = ENGINE_get_digest(engine_.get(), NID_id_GostR3411_2012_256);
    require(digest && X509_sign(certificate.get(), caKey_.get(), digest) > 0, "signing");
    const int length = i2d_X509(certificate.get(), nullptr);
    require(length > 0, "certificate encoding");
    std::string der(static_cast<std::size_t>(length), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(certificate.get(), &out);
    return der;
}

std::string generateKeyPair(cryptoki::ICryptoki& library, const std::string& id) {
    CK_BBOOL yes = CK_TRUE;
    CK_OBJECT_CLASS publicClass = CKO_PUBLIC_KEY;
    CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
    CK_KEY_TYPE keyType = CKK_GOSTR3410;
    std::string keyId = id;
    std::string params = kParamSetCryptoProA;
    std::string hash = kStreebog256;
    std::vector<CK_ATTRIBUTE> publicTemplate{{CKA_ID, keyId.data(), keyId.size()},
                                             {CKA_CLASS, &publicClass, sizeof publicClass},
                                             {CKA_TOKEN, &yes, 1},
                                             {CKA_KEY_TYPE, &keyType, sizeof keyType},
                                             {CKA_GOSTR3410_PARAMS, params.data(), params.size()},
                                             {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()}};
    std::vector<CK_ATTRIBUTE> privateTemplate{{CKA_ID, keyId.data(), keyId.size()},
                                              {CKA_CLASS, &privateClass, sizeof privateClass},
                                              {CKA_TOKEN, &yes, 1},
                                              {CKA_PRIVATE, &yes, 1},
                                              {CKA_SIGN, &yes, 1},
                                              {CKA_KEY_TYPE, &keyType, sizeof keyType},
                                              {CKA_GOSTR3410_PARAMS, params.data(), params.size()},
                                              {CKA_GOSTR3411_PARAMS, hash.data(), hash.size()}};
    CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
    CK_OBJECT_HANDLE publicKey = 0;
    CK_OBJECT_HANDLE privateKey = 0;
    check(library.generateKeyPair(kSlot, &mechanism, publicTemplate.data(), publicTemplate.size(),
                                  privateTemplate.data(), privateTemplate.size(), &publicKey,
                                  &privateKey),
          "C_GenerateKeyPair");
    return cryptoki::attribute(library, kSlot, publicKey, CKA_VALUE);
}

void storeCertificate(cryptoki::ICryptoki& library, const std::string& der, const std::string& id) {
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_CERTIFICATE_TYPE type = CKC_X_509;
    CK_BBOOL yes = CK_TRUE;
    std::string value = der;
    std::string keyId = id;
    std::vector<CK_ATTRIBUTE> attributes{{CKA_CLASS, &certificateClass, sizeof certificateClass},
                                         {CKA_CERTIFICATE_TYPE, &type, sizeof type},
                                         {CKA_TOKEN, &yes, 1},
                                         {CKA_ID, keyId.data(), keyId.size()},
                                         {CKA_VALUE, value.data(), value.size()}};
    CK_OBJECT_HANDLE object = 0;
    check(library.createObject(kSlot, attributes.data(), attributes.size(), &object),
          "C_CreateObject");
}

namespace {

// A size in KiB from /proc/self/status, -1 when it is not there.
long statusKib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(field.size()));
        }
    }
    return -1;
}

}  // namespace

long peakResidentKib() {
    return statusKib("VmHWM:");
}

long residentKib() {
    return statusKib("VmRSS:");
}

}  // namespace kelvo::bench
