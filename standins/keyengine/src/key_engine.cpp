#include "key_engine.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <algorithm>
#include <array>

#include "token_sign.h"

namespace rtengine {

namespace {

const std::array<int, 3> kKeyTypes = {NID_id_GostR3410_2001, NID_id_GostR3410_2012_256,
                                      NID_id_GostR3410_2012_512};

// What the engine needs while any reference to it exists; kept in its ex_data and freed
// with it.
struct EngineState {
    EngineFunctionalPtr gost;
    // Owned by the engine once it is set up: OpenSSL frees the methods its callback lists
    // when the engine goes.
    std::array<EVP_PKEY_METHOD*, kKeyTypes.size()> methods{};
};

void freeState(void*, void* pointer, CRYPTO_EX_DATA*, int, long, void*) {
    std::unique_ptr<EngineState> state(static_cast<EngineState*>(pointer));
}

int stateIndex() {
    static const int index = ENGINE_get_ex_new_index(0, nullptr, nullptr, nullptr, freeState);
    return index;
}

int keyMethods(ENGINE* engine, EVP_PKEY_METHOD** method, const int** nids, int nid) {
    if (!method) {
        *nids = kKeyTypes.data();
        return static_cast<int>(kKeyTypes.size());
    }
    *method = nullptr;
    const auto* state = static_cast<const EngineState*>(ENGINE_get_ex_data(engine, stateIndex()));
    for (std::size_t i = 0; state && i < kKeyTypes.size(); ++i) {
        if (kKeyTypes[i] == nid) {
            *method = state->methods[i];
        }
    }
    return *method != nullptr;
}

EngineFunctionalPtr loadGost() {
    EngineStructPtr gost(ENGINE_by_id("gost"));
    if (!gost || !ENGINE_init(gost.get())) {
        return nullptr;
    }
    EngineFunctionalPtr functional(gost.release());
    // Public keys are decoded and encoded (requests, certificates) through OpenSSL's global
    // lookup of key encodings, so the gost engine's must be registered there.
    if (!ENGINE_register_pkey_asn1_meths(functional.get())) {
        return nullptr;
    }
    return functional;
}

// A copy of the gost engine's method for the key type with signing done by the token.
PkeyMethodPtr tokenMethod(ENGINE* gost, int nid) {
    const EVP_PKEY_METHOD* source = ENGINE_get_pkey_meth(gost, nid);
    if (!source) {
        return nullptr;
    }
    int id = 0;
    int flags = 0;
    EVP_PKEY_meth_get0_info(&id, &flags, source);
    PkeyMethodPtr method(EVP_PKEY_meth_new(nid, flags));
    if (!method) {
        return nullptr;
    }
    EVP_PKEY_meth_copy(method.get(), source);
    int (*signInit)(EVP_PKEY_CTX*) = nullptr;
    int (*sign)(EVP_PKEY_CTX*, unsigned char*, std::size_t*, const unsigned char*, std::size_t) =
        nullptr;
    EVP_PKEY_meth_get_sign(source, &signInit, &sign);
    EVP_PKEY_meth_set_sign(method.get(), signInit, signOnToken);
    return method;
}

}  // namespace

const KeyEngine* KeyEngine::instance() {
    static const std::unique_ptr<KeyEngine> engine = create();
    return engine.get();
}

std::unique_ptr<KeyEngine> KeyEngine::create() {
    ERR_set_mark();
    auto state = std::make_unique<EngineState>();
    state->gost = loadGost();
    std::array<PkeyMethodPtr, kKeyTypes.size()> methods;
    for (std::size_t i = 0; state->gost && i < kKeyTypes.size(); ++i) {
        methods[i] = tokenMethod(state->gost.get(), kKeyTypes[i]);
    }
    const bool haveMethods =
        std::all_of(methods.begin(), methods.end(), [](const auto& m) { return m != nullptr; });
    // The method callback finds nothing until the state is stored, so a failure before that
    // leaves every method to its unique_ptr.
    EngineStructPtr engine(ENGINE_new());
    if (!haveMethods || !engine || stateIndex() < 0 || !ENGINE_set_id(engine.get(), "rtengine") ||
        !ENGINE_set_name(engine.get(), "PKCS#11 token keys") ||
        !ENGINE_set_pkey_meths(engine.get(), keyMethods) ||
        !ENGINE_set_ex_data(engine.get(), stateIndex(), state.get())) {
        ERR_pop_to_mark();
        return nullptr;
    }
    EngineState* owned = state.release();  // freed by freeState with the engine
    for (std::size_t i = 0; i < kKeyTypes.size(); ++i) {
        owned->methods[i] = methods[i].release();
    }
    ERR_clear_last_mark();
    return std::make_unique<KeyEngine>(std::move(engine));
}

PkeyPtr KeyEngine::adopt(PkeyPtr key, const KeyBinding& binding) const {
    if (!key || !attachBinding(key.get(), binding) ||
        !EVP_PKEY_set1_engine(key.get(), engine_.get())) {
        return nullptr;
    }
    return key;
}

}  // namespace rtengine
