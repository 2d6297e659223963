// C_GenerateKeyPair: validates the two templates and makes the two objects.
#pragma once

#include "gost_crypto.h"
#include "token_state.h"

namespace softtoken {

struct KeyPairObjects {
    StoredObject publicKey;
    StoredObject privateKey;
};

// Throws CkrError for an unsupported mechanism or a bad template pair.
KeyPairObjects generateKeyPairObjects(const GostCrypto& crypto, const CK_MECHANISM& mechanism,
                                      const AttributeMap& publicTemplate,
                                      const AttributeMap& privateTemplate);

}  // namespace softtoken
