#include "kdf.h"

#include <openssl/core_names.h>
#include <openssl/err.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "aead.h"

namespace softtoken {

namespace {

constexpr std::uint32_t kBlockSize = 8;    // r
constexpr std::uint32_t kParallelism = 1;  // p

}  // namespace

unsigned kdfFloor() {
    const char* test = std::getenv(kTestKdfVariable);
    return test && std::string(test) == "1" ? kMinKdfCost : kRealTokenMinKdfCost;
}

SecretBytes derivePinKey(const GostCrypto& crypto, const SecretBytes& pin, const Bytes& salt,
                         unsigned cost) {
    if (cost < kMinKdfCost || cost > kMaxKdfCost) {
        throw std::invalid_argument("PIN key derivation cost out of range");
    }
    std::uint64_t n = std::uint64_t{1} << cost;
    std::uint32_t r = kBlockSize;
    std::uint32_t p = kParallelism;
    // scrypt needs 128 * r * N bytes; twice that leaves room for its own bookkeeping.
    std::uint64_t maxMemory = 2 * 128 * kBlockSize * n;
    // OpenSSL copies the password at once; an empty one still needs a valid pointer.
    unsigned char none = 0;
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_PASSWORD, pin.empty() ? &none : const_cast<unsigned char*>(pin.data()),
            pin.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<char*>(salt.data()),
                                          salt.size()),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &r),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &p),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_MAXMEM, &maxMemory),
        OSSL_PARAM_construct_end(),
    };
    KdfCtxPtr context(EVP_KDF_CTX_new(crypto.scrypt()));
    SecretBytes key(kAeadKeySize);
    if (!context || EVP_KDF_derive(context.get(), key.data(), key.size(), parameters) != 1) {
        ERR_clear_error();
        throw std::runtime_error("PIN key derivation failed");
    }
    return key;
}

}  // namespace softtoken
