#include "token_key.h"

#include "aead.h"
#include "kdf.h"

namespace softtoken {

namespace {

// Binds a wrap to its role: the user's wrap copied over the SO's does not open with the
// user PIN as an SO PIN.
Bytes roleLabel(PinRole role) {
    return role == PinRole::SecurityOfficer ? "zolvex-softtoken token key: SO"
                                            : "zolvex-softtoken token key: user";
}

}  // namespace

TokenKey TokenKey::generate(const GostCrypto& crypto) {
    SecretBytes key(kAeadKeySize);
    crypto.random(key.data(), key.size());
    return TokenKey(std::move(key));
}

std::optional<TokenKey> TokenKey::unwrap(const GostCrypto& crypto, const WrappedKey& wrapped,
                                         PinRole role, const SecretBytes& pin) {
    const SecretBytes pinKey = derivePinKey(crypto, pin, wrapped.salt, wrapped.kdfCost);
    std::optional<SecretBytes> key = open(crypto, pinKey, wrapped.sealed, roleLabel(role));
    if (!key || key->size() != kAeadKeySize) {
        return std::nullopt;
    }
    return TokenKey(std::move(*key));
}

WrappedKey TokenKey::wrap(const GostCrypto& crypto, PinRole role, const SecretBytes& pin,
                          unsigned kdfCost) const {
    WrappedKey wrapped;
    wrapped.kdfCost = kdfCost;
    wrapped.salt.resize(kKdfSaltSize);
    crypto.random(reinterpret_cast<unsigned char*>(wrapped.salt.data()), wrapped.salt.size());
    const SecretBytes pinKey = derivePinKey(crypto, pin, wrapped.salt, kdfCost);
    wrapped.sealed = seal(crypto, pinKey, key_, roleLabel(role));
    return wrapped;
}

}  // namespace softtoken
