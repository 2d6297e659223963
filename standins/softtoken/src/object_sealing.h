// Private objects at rest: every attribute and the key material of a private object in one
// blob sealed with the token key. The object's number is bound in as associated data, so a
// blob copied over another object does not open.
#pragma once

#include "token_key.h"

namespace softtoken {

Bytes sealObject(const GostCrypto& crypto, const TokenKey& key, CK_ULONG number,
                 const StoredObject& object);

// Throws CkrError(CKR_DEVICE_ERROR) when the blob does not open with this key: a damaged
// file, or a token initialised anew by another process since this login.
StoredObject openObject(const GostCrypto& crypto, const TokenKey& key, CK_ULONG number,
                        const Bytes& sealed);

}  // namespace softtoken
