#include "key_binding.h"

namespace rtengine {

namespace {

void freeBinding(void*, void* pointer, CRYPTO_EX_DATA*, int, long, void*) {
    // Takes back the ownership handed to OpenSSL in attachBinding.
    std::unique_ptr<KeyBinding> binding(static_cast<KeyBinding*>(pointer));
}

int duplicateBinding(CRYPTO_EX_DATA*, const CRYPTO_EX_DATA*, void** pointer, int, long, void*) {
    if (*pointer) {
        *pointer = std::make_unique<KeyBinding>(*static_cast<KeyBinding*>(*pointer)).release();
    }
    return 1;
}

int bindingIndex() {
    static const int index =
        EVP_PKEY_get_ex_new_index(0, nullptr, nullptr, duplicateBinding, freeBinding);
    return index;
}

}  // namespace

bool attachBinding(EVP_PKEY* key, const KeyBinding& binding) {
    const int index = bindingIndex();
    if (index < 0 || EVP_PKEY_get_ex_data(key, index)) {
        return false;
    }
    auto copy = std::make_unique<KeyBinding>(binding);
    if (!EVP_PKEY_set_ex_data(key, index, copy.get())) {
        return false;
    }
    copy.release();  // freed by freeBinding with the key
    return true;
}

const KeyBinding* findBinding(const EVP_PKEY* key) {
    const int index = bindingIndex();
    return index < 0 ? nullptr : static_cast<const KeyBinding*>(EVP_PKEY_get_ex_data(key, index));
}

}  // namespace rtengine
