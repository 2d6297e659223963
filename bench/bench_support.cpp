#include "bench_support.h"

#include <openssl/provider.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/scoped_session.h"
#include "gost_key_pair.h"

namespace kelvo::bench {

namespace cryptoki = plugin::cryptoki;

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

std::string generateKeyPair(cryptoki::ICryptoki& library, const std::string& id) {
    const test::KeyPair pair =
        test::generateGostKeyPair(library.functions(), library.sessionHandle(kSlot), id);
    return cryptoki::attribute(library, kSlot, pair.publicKey, CKA_VALUE);
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
