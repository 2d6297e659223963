#include "object_sealing.h"

#include <cstdint>
#include <stdexcept>

#include "aead.h"
#include "error.h"

namespace softtoken {

namespace {

// The plain form: the key material, then each attribute as type, length and value; numbers
// are 64-bit little-endian.
void appendNumber(SecretBytes& out, std::uint64_t number) {
    for (int byte = 0; byte < 8; ++byte) {
        out.push_back(static_cast<unsigned char>(number >> (8 * byte)));
    }
}

void appendBytes(SecretBytes& out, const unsigned char* bytes, std::size_t size) {
    appendNumber(out, size);
    out.insert(out.end(), bytes, bytes + size);
}

SecretBytes encode(const StoredObject& object) {
    SecretBytes out;
    appendBytes(out, object.secret.data(), object.secret.size());
    for (const auto& [type, value] : object.attributes) {
        appendNumber(out, type);
        appendBytes(out, data(value), value.size());
    }
    return out;
}

class Decoder {
public:
    explicit Decoder(const SecretBytes& in) : in_(in) {}

    bool done() const { return at_ == in_.size(); }
    std::uint64_t number() {
        need(8);
        std::uint64_t value = 0;
        for (int byte = 0; byte < 8; ++byte) {
            value |= std::uint64_t{in_[at_++]} << (8 * byte);
        }
        return value;
    }
    // The bytes of a length-prefixed field.
    std::pair<const unsigned char*, std::size_t> field() {
        const std::uint64_t size = number();
        need(size);
        const unsigned char* start = in_.data() + at_;
        at_ += size;
        return {start, size};
    }

private:
    void need(std::uint64_t size) const {
        if (size > in_.size() - at_) {
            throw std::runtime_error("truncated");
        }
    }

    const SecretBytes& in_;
    std::size_t at_ = 0;
};

StoredObject decode(const SecretBytes& in) {
    Decoder decoder(in);
    StoredObject object;
    const auto [secret, secretSize] = decoder.field();
    object.secret = secretOf(secret, secretSize);
    while (!decoder.done()) {
        const CK_ATTRIBUTE_TYPE type = decoder.number();
        const auto [value, size] = decoder.field();
        object.attributes[type] = toBytes(value, size);
    }
    return object;
}

Bytes associatedData(CK_ULONG number) {
    return "zolvex-softtoken object " + std::to_string(number);
}

}  // namespace

Bytes sealObject(const GostCrypto& crypto, const TokenKey& key, CK_ULONG number,
                 const StoredObject& object) {
    return seal(crypto, key.bytes(), encode(object), associatedData(number));
}

StoredObject openObject(const GostCrypto& crypto, const TokenKey& key, CK_ULONG number,
                        const Bytes& sealed) {
    const std::optional<SecretBytes> plain =
        open(crypto, key.bytes(), sealed, associatedData(number));
    try {
        if (plain) {
            return decode(*plain);
        }
    } catch (const std::runtime_error&) {
        // The key opened it, so only a fault of our own can make it unreadable; treated alike.
    }
    throw CkrError(CKR_DEVICE_ERROR,
                   "private object " + std::to_string(number) +
                       " does not open with the key of this login: the token file is damaged "
                       "or the token was initialised again meanwhile");
}

}  // namespace softtoken
