// Everything a token keeps between processes, and its JSON form.
//
// Nothing secret is in clear: the token's own random key is kept only sealed to the SO's and
// the user's key pairs, whose private halves are wrapped under keys derived from the PINs
// (see token_key.h), and every private object is one blob sealed with the token key.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "attributes.h"
#include "secret_bytes.h"

namespace softtoken {

// A key sealed under a key derived from one PIN.
struct WrappedKey {
    unsigned kdfCost = 0;  // see kdf.h
    Bytes salt;
    Bytes sealed;

    bool operator==(const WrappedKey& other) const {
        return kdfCost == other.kdfCost && salt == other.salt && sealed == other.sealed;
    }
};

// The key that authenticates the file (see file_mac.h); both PIN wraps hold it.
inline constexpr std::size_t kFileKeySize = 32;

// One PIN holder's access to the token key.
struct RoleKey {
    WrappedKey privateKey;  // the holder's private X25519 key and the file key, under its PIN
    Bytes publicKey;
    Bytes sealedTokenKey;  // the token key sealed to publicKey

    bool operator==(const RoleKey& other) const {
        return privateKey == other.privateKey && publicKey == other.publicKey &&
               sealedTokenKey == other.sealedTokenKey;
    }
};

// An object as PKCS#11 clients see it.
struct StoredObject {
    AttributeMap attributes;
    SecretBytes secret;  // private key encoding; never exposed as an attribute
};

// A token object as its file keeps it: a public object in clear, a private one as the blob
// sealed with the token key (see object_sealing.h).
struct FileObject {
    AttributeMap attributes;  // public objects only
    Bytes sealed;             // private objects only

    bool isPrivate() const { return !sealed.empty(); }
};

constexpr unsigned kMaxPinFailures = 10;
// Token object numbers stay below this; session objects take the numbers above.
constexpr CK_ULONG kFirstSessionObject = 0x800000;

struct TokenState {
    std::string label;
    std::optional<RoleKey> soKey;    // none until C_InitToken: the delivery SO PIN holds
    std::optional<RoleKey> userKey;  // none until C_InitPIN
    unsigned userFailures = 0;
    unsigned soFailures = 0;
    CK_ULONG nextId = 1;
    std::map<CK_ULONG, FileObject> objects;  // keyed by the persistent object number
    Bytes mac;  // over all of the above but the counters; empty before C_InitToken

    bool initialized() const { return soKey.has_value(); }
};

std::string toJson(const TokenState& state);
// Throws std::runtime_error saying what is wrong when the text is not a token file of this
// format (older formats included).
TokenState fromJson(const std::string& text);

}  // namespace softtoken
