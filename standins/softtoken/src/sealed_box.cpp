#include "sealed_box.h"

#include <openssl/core_names.h>
#include <openssl/err.h>

#include <stdexcept>

#include "aead.h"

namespace softtoken {

namespace {

constexpr const char* kAlgorithm = "X25519";

[[noreturn]] void fail(const char* what) {
    ERR_clear_error();
    throw std::runtime_error(what);
}

PkeyPtr privateKey(const GostCrypto& crypto, const SecretBytes& raw) {
    PkeyPtr key(EVP_PKEY_new_raw_private_key_ex(crypto.libraryContext(), kAlgorithm, nullptr,
                                                raw.data(), raw.size()));
    if (!key) {
        fail("cannot load an X25519 private key");
    }
    return key;
}

Bytes rawPublicKey(EVP_PKEY* key) {
    Bytes raw(kBoxKeySize, '\0');
    std::size_t size = raw.size();
    if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(raw.data()), &size) !=
            1 ||
        size != kBoxKeySize) {
        fail("cannot read an X25519 public key");
    }
    return raw;
}

// The sealing key: HKDF over the shared secret, bound to both public keys and the purpose.
SecretBytes sharedKey(const GostCrypto& crypto, EVP_PKEY* own, const Bytes& peerPublic,
                      const Bytes& ephemeralPublic, const Bytes& recipientPublic,
                      const Bytes& associated) {
    PkeyPtr peer(EVP_PKEY_new_raw_public_key_ex(crypto.libraryContext(), kAlgorithm, nullptr,
                                                data(peerPublic), peerPublic.size()));
    PkeyCtxPtr context(EVP_PKEY_CTX_new_from_pkey(crypto.libraryContext(), own, nullptr));
    SecretBytes secret(kBoxKeySize);
    std::size_t size = secret.size();
    if (!peer || !context || EVP_PKEY_derive_init(context.get()) != 1 ||
        EVP_PKEY_derive_set_peer(context.get(), peer.get()) != 1 ||
        EVP_PKEY_derive(context.get(), secret.data(), &size) != 1 || size != kBoxKeySize) {
        fail("X25519 key agreement failed");
    }
    Bytes salt = ephemeralPublic + recipientPublic;
    char digest[] = "SHA256";
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, secret.data(), secret.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, salt.data(), salt.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<char*>(associated.data()),
                                          associated.size()),
        OSSL_PARAM_construct_end(),
    };
    KdfPtr hkdf(EVP_KDF_fetch(crypto.libraryContext(), "HKDF", nullptr));
    KdfCtxPtr kdf(hkdf ? EVP_KDF_CTX_new(hkdf.get()) : nullptr);
    SecretBytes key(kAeadKeySize);
    if (!kdf || EVP_KDF_derive(kdf.get(), key.data(), key.size(), parameters) != 1) {
        fail("HKDF failed");
    }
    return key;
}

}  // namespace

BoxKeyPair generateBoxKeyPair(const GostCrypto& crypto) {
    BoxKeyPair pair;
    pair.privateKey.resize(kBoxKeySize);
    crypto.random(pair.privateKey.data(), pair.privateKey.size());
    pair.publicKey = rawPublicKey(privateKey(crypto, pair.privateKey).get());
    return pair;
}

Bytes sealToPublic(const GostCrypto& crypto, const Bytes& publicKey, const SecretBytes& plain,
                   const Bytes& associated) {
    const BoxKeyPair ephemeral = generateBoxKeyPair(crypto);
    const PkeyPtr own = privateKey(crypto, ephemeral.privateKey);
    const SecretBytes key =
        sharedKey(crypto, own.get(), publicKey, ephemeral.publicKey, publicKey, associated);
    return ephemeral.publicKey + seal(crypto, key, plain, associated);
}

std::optional<SecretBytes> openWithPrivate(const GostCrypto& crypto, const BoxKeyPair& keys,
                                           const Bytes& sealed, const Bytes& associated) {
    if (sealed.size() < kBoxOverhead) {
        return std::nullopt;
    }
    const Bytes ephemeralPublic = sealed.substr(0, kBoxKeySize);
    const PkeyPtr own = privateKey(crypto, keys.privateKey);
    const SecretBytes key =
        sharedKey(crypto, own.get(), ephemeralPublic, ephemeralPublic, keys.publicKey, associated);
    return open(crypto, key, sealed.substr(kBoxKeySize), associated);
}

}  // namespace softtoken
