// The C interface of the engine library.
#include "rtengine/rtengine.h"

#include <openssl/err.h>

#include <memory>

#include "gost_key_pair.h"
#include "key_engine.h"
#include "public_key.h"
#include "token_session.h"

struct rt_eng_p11_session_st {
    // Shared with every key made through the wrapper, so that either may go first.
    std::shared_ptr<const rtengine::TokenSession> session;
};

namespace {

std::nullptr_t refuse(const char* reason) {
    ERR_raise_data(ERR_LIB_ENGINE, ERR_R_PASSED_INVALID_ARGUMENT, "%s", reason);
    return nullptr;
}

}  // namespace

rt_eng_p11_session_st* rt_eng_p11_session_wrap(CK_FUNCTION_LIST* functions,
                                               CK_SESSION_HANDLE session, int reserved1,
                                               int reserved2) {
    if (reserved1 != 0 || reserved2 != 0) {
        return refuse("reserved arguments must be 0");
    }
    try {
        auto attached = rtengine::TokenSession::attach(functions, session);
        if (!attached) {
            return refuse("no usable PKCS#11 session");
        }
        // Ownership passes to the caller until rt_eng_p11_session_free.
        return std::make_unique<rt_eng_p11_session_st>(rt_eng_p11_session_st{std::move(attached)})
            .release();
    } catch (const std::exception&) {
        return refuse("out of memory");
    }
}

EVP_PKEY* rt_eng_p11_key_pair_wrap(rt_eng_p11_session_st* session, CK_OBJECT_HANDLE privateKey,
                                   CK_OBJECT_HANDLE publicKey) {
    if (!session) {
        return refuse("no engine session");
    }
    try {
        const rtengine::KeyEngine* engine = rtengine::KeyEngine::instance();
        if (!engine) {
            return refuse("gost engine unavailable");
        }
        const auto pair = rtengine::readGostKeyPair(*session->session, privateKey, publicKey);
        if (!pair) {
            return refuse("not a GOST key pair on the token");
        }
        rtengine::PkeyPtr key = rtengine::decodePublicKey(*pair);
        if (!key) {
            return refuse("unusable GOST public key");
        }
        const rtengine::KeyBinding binding{session->session, privateKey, pair->signMechanism,
                                           pair->signatureSize};
        return engine->adopt(std::move(key), binding).release();
    } catch (const std::exception&) {
        return refuse("out of memory");
    }
}

void rt_eng_p11_session_free(rt_eng_p11_session_st* session) {
    std::unique_ptr<rt_eng_p11_session_st> owned(session);
}
