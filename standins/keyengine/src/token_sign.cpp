#include "token_sign.h"

#include <openssl/err.h>

#include "key_binding.h"

namespace rtengine {

int signOnToken(EVP_PKEY_CTX* context, unsigned char* signature, std::size_t* signatureSize,
                const unsigned char* digest, std::size_t digestSize) {
    const EVP_PKEY* key = EVP_PKEY_CTX_get0_pkey(context);
    const KeyBinding* binding = key ? findBinding(key) : nullptr;
    if (!binding || !signatureSize) {
        ERR_raise_data(ERR_LIB_ENGINE, ERR_R_PASSED_INVALID_ARGUMENT, "key not held on a token");
        return 0;
    }
    if (!signature) {
        *signatureSize = binding->signatureSize;
        return 1;
    }
    if (*signatureSize < binding->signatureSize || !digest) {
        ERR_raise(ERR_LIB_EVP, EVP_R_BUFFER_TOO_SMALL);
        return 0;
    }
    try {
        CK_ULONG length = binding->signatureSize;
        const CK_RV rv = binding->session->sign(binding->privateKey, binding->signMechanism, digest,
                                                digestSize, signature, &length);
        if (rv != CKR_OK) {
            ERR_raise_data(ERR_LIB_ENGINE, ERR_R_OPERATION_FAIL, "token signing failed: 0x%lx",
                           static_cast<unsigned long>(rv));
            return 0;
        }
        if (length != binding->signatureSize) {
            ERR_raise_data(ERR_LIB_ENGINE, ERR_R_OPERATION_FAIL,
                           "token signature of unexpected length %lu",
                           static_cast<unsigned long>(length));
            return 0;
        }
        *signatureSize = length;
        return 1;
    } catch (const std::exception&) {
        ERR_raise(ERR_LIB_ENGINE, ERR_R_INTERNAL_ERROR);
        return 0;
    }
}

}  // namespace rtengine
