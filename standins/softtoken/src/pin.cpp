#include "pin.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

#include <stdexcept>

namespace softtoken {

namespace {

constexpr int kIterations = 2000;  // enough for a test token, cheap for PIN lock-out tests
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kHashSize = 32;

Bytes derive(const GostCrypto& crypto, const Bytes& salt, const std::string& pin) {
    Bytes out(kHashSize, '\0');
    if (!PKCS5_PBKDF2_HMAC(pin.data(), static_cast<int>(pin.size()), data(salt),
                           static_cast<int>(salt.size()), kIterations, crypto.sha256(),
                           static_cast<int>(out.size()),
                           reinterpret_cast<unsigned char*>(out.data()))) {
        ERR_clear_error();
        throw std::runtime_error("PIN hashing failed");
    }
    return out;
}

}  // namespace

PinRecord hashPin(const GostCrypto& crypto, const std::string& pin) {
    Bytes salt(kSaltSize, '\0');
    crypto.random(reinterpret_cast<unsigned char*>(salt.data()), salt.size());
    return PinRecord{salt, derive(crypto, salt, pin)};
}

bool pinMatches(const GostCrypto& crypto, const PinRecord& record, const std::string& pin) {
    const Bytes hash = derive(crypto, record.salt, pin);
    return hash.size() == record.hash.size() &&
           CRYPTO_memcmp(hash.data(), record.hash.data(), hash.size()) == 0;
}

}  // namespace softtoken
