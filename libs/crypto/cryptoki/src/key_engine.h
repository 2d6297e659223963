#pragma once

#include <string>

#include <boost/smart_ptr/shared_ptr.hpp>

#include "cryptoki/pkcs11.h"
#include "engine/rtengine.h"
#include "platform/shared_library.h"

namespace kelvo::plugin::cryptoki {

// The vendor's key engine, which turns a key pair on the token into an OpenSSL key. It comes
// with the vendor's PKCS#11 library and is looked for beside it. Once loaded it stays for the
// process: OpenSSL keeps pointers into it, and the objects it hands out outlive this one.
class KeyEngine {
public:
    using Session = boost::shared_ptr<rt_eng_p11_session_st>;
    using Key = boost::shared_ptr<EVP_PKEY>;

    // Loads the engine from the folder of the given PKCS#11 library file. A missing or
    // unusable engine is logged with the path looked at; the engine then wraps nothing.
    explicit KeyEngine(const std::string& pkcs11Library);

    bool isLoaded() const { return wrapSession_ && wrapKeyPair_ && freeSession_; }
    // The engine's view of an open session of the library behind `functions`; empty without
    // an engine or when the engine refuses.
    Session wrapSession(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session) const;
    // An OpenSSL key for the pair whose private operations run on the token through that
    // session; empty without an engine or when the engine refuses.
    Key wrapKeyPair(const Session& session, CK_OBJECT_HANDLE privateKey,
                    CK_OBJECT_HANDLE publicKey) const;

private:
    platform::SharedLibrary library_;
    rt_eng_p11_session_wrap_fn* wrapSession_ = nullptr;
    rt_eng_p11_key_pair_wrap_fn* wrapKeyPair_ = nullptr;
    rt_eng_p11_session_free_fn* freeSession_ = nullptr;
};

}  // namespace kelvo::plugin::cryptoki
