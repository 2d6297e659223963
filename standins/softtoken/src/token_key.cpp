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

}  // namespace

TokenKey TokenKey::generate(const GostCrypto& crypto) {
    SecretBytes key(kAeadKeySize);
    crypto.random(key.data(), key.size());
    return TokenKey(std::move(key));
}

std::optional<TokenKey> TokenKey::unlock(const GostCrypto& crypto, const RoleKey& access,
                                         PinRole role, const SecretBytes& pin) {
    const WrappedKey& wrapped = access.privateKey;
    const SecretBytes pinKey = derivePinKey(crypto, pin, wrapped.salt, wrapped.kdfCost);
    std::optional<SecretBytes> privateKey =
        open(crypto, pinKey, wrapped.sealed, roleLabel(role, "key pair"));
    if (!privateKey || privateKey->size() != kBoxKeySize) {
        return std::nullopt;
    }
    const BoxKeyPair pair{std::move(*privateKey), access.publicKey};
    std::optional<SecretBytes> key =
        openWithPrivate(crypto, pair, access.sealedTokenKey, roleLabel(role, "token key"));
    if (!key || key->size() != kAeadKeySize) {
        throw CkrError(CKR_DEVICE_ERROR,
                       "the token key does not open with the right PIN: the token file is "
                       "damaged");
    }
    return TokenKey(std::move(*key));
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
    wrapped.sealed = seal(crypto, pinKey, pair.privateKey, roleLabel(role, "key pair"));
    return handTo(crypto, role, std::move(access));
}

RoleKey TokenKey::handTo(const GostCrypto& crypto, PinRole role, RoleKey access) const {
    access.sealedTokenKey =
        sealToPublic(crypto, access.publicKey, key_, roleLabel(role, "token key"));
    return access;
}

}  // namespace softtoken
