// The caller's PKCS#11 session as the engine uses it: attribute reads and raw signing. The
// session is borrowed; the engine never opens, logs into or closes it.
#pragma once

#include <p11-kit/pkcs11.h>

#include <memory>
#include <optional>
#include <string>

namespace rtengine {

class TokenSession {
public:
    // Null when the function list lacks a needed entry or the library does not know the
    // session.
    static std::shared_ptr<const TokenSession> attach(CK_FUNCTION_LIST* functions,
                                                      CK_SESSION_HANDLE session);

    TokenSession(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session)
        : functions_(functions), session_(session) {}
    TokenSession(const TokenSession&) = delete;
    TokenSession& operator=(const TokenSession&) = delete;

    // Empty when the object has no such attribute or it cannot be read.
    std::optional<std::string> attribute(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) const;
    std::optional<CK_ULONG> ulongAttribute(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) const;

    // One single-part signature of the input; signature holds the buffer size on entry and
    // the signature length on return.
    CK_RV sign(CK_OBJECT_HANDLE key, CK_MECHANISM_TYPE mechanism, const unsigned char* input,
               std::size_t inputSize, unsigned char* signature, CK_ULONG* signatureSize) const;

private:
    CK_FUNCTION_LIST* functions_;
    CK_SESSION_HANDLE session_;
};

}  // namespace rtengine
