#include "token_key.h"

#include "aead.h"
#include "error.h"
#include "kdf.h"
#include "sealed_box.h"

namespace softtoken {

namespace {

// Binds each wrap to its role and purpose: the user's copied over the SO's does not open
// with the user PIN as an SO PIN.
Bytes roleLabel(PinRole role, const char* purpose) {
    return std::string("zolvex-softtoken ") + purpose +
           (role == PinRole::SecurityOfficer ? ": SO" : ": user");
}

SecretBytes randomKey(const GostCrypto& crypto, std::size_t size) {
    SecretBytes key(size);
    crypto.random(key.data(), key.size());
    return key;
}

}  // namespace

TokenKey TokenKey::generate(const GostCrypto& crypto) {
    return TokenKey(randomKey(crypto, kAeadKeySize), randomKey(crypto, kFileKeySize));
}

TokenKey TokenKey::rotated(const GostCrypto& crypto) const {
    return TokenKey(randomKey(crypto, kAeadKeySize), fileKey_);
}

std::optional<TokenKey> TokenKey::unlock(const GostCrypto& crypto, const RoleKey& access,
                                         PinRole role, const SecretBytes& pin) {
    const WrappedKey& wrapped = access.privateKey;
    const SecretBytes pinKey = derivePinKey(crypto, pin, wrapped.salt, wrapped.kdfCost);
    const std::optional<SecretBytes> plain =
        open(crypto, pinKey, wrapped.sealed, roleLabel(role, "key pair"));
    if (!plain || plain->size() != kBoxKeySize + kFileKeySize) {
        return std::nullopt;
    }
    const BoxKeyPair pair{SecretBytes(plain->begin(), plain->begin() + kBoxKeySize),
                          access.publicKey};
    std::optional<SecretBytes> key =
        openWithPrivate(crypto, pair, access.sealedTokenKey, roleLabel(role, "token key"));
    if (!key || key->size() != kAeadKeySize) {
        throw CkrError(CKR_DEVICE_ERROR,
                       "the token key does not open with the right PIN: the token file is "
                       "damaged");
    }
    return TokenKey(std::move(*key), SecretBytes(plain->begin() + kBoxKeySize, plain->end()));
}

RoleKey TokenKey::enrol(const GostCrypto& crypto, PinRole role, const SecretBytes& pin,
                        unsigned kdfCost) const {
    const BoxKeyPair pair = generateBoxKeyPair(crypto);
    RoleKey access;
    access.publicKey = pair.publicKey;
    WrappedKey& wrapped = access.privateKey;
    wrapped.kdfCost = kdfCost;
    wrapped.salt.resize(kKdfSaltSize);
    crypto.random(reinterpret_cast<unsigned char*>(wrapped.salt.data()), wrapped.salt.size());
    const SecretBytes pinKey = derivePinKey(crypto, pin, wrapped.salt, kdfCost);
    SecretBytes plain = pair.privateKey;
    plain.insert(plain.end(), fileKey_.begin(), fileKey_.end());
    wrapped.sealed = seal(crypto, pinKey, plain, roleLabel(role, "key pair"));
    return handTo(crypto, role, std::move(access));
}

RoleKey TokenKey::handTo(const GostCrypto& crypto, PinRole role, RoleKey access) const {
    access.sealedTokenKey =
        sealToPublic(crypto, access.publicKey, key_, roleLabel(role, "token key"));
    return access;
}

}  // namespace softtoken
