#include "cryptoki.h"

#include <boost/log/trivial.hpp>

#include "exception/crypto.h"
#include "exception/throw.h"
#include "shared/path_registry.h"

namespace kelvo::plugin::cryptoki {

namespace {

constexpr const char* kModel = "ZOLVEXToken GOST";

}  // namespace

ZolvexCryptoki::ZolvexCryptoki()
    : ZolvexCryptoki(shared::path_registry::zolvexResourceFile().string()) {}

ZolvexCryptoki::ZolvexCryptoki(CK_FUNCTION_LIST* functions) : functions_(functions) {}

ZolvexCryptoki::ZolvexCryptoki(const std::string& libraryFile) : Cryptoki(libraryFile) {
    if (const auto getFunctionList =
            library().function<CK_C_GetFunctionList>("C_GetFunctionList")) {
        // A failure leaves the list null, which functions() reports.
        getFunctionList(&functions_);
    }
}

ZolvexCryptoki::~ZolvexCryptoki() {
    // Without a function list there is nothing to finalize; raising from here would end the
    // host, so the skipped step is only reported.
    if (!functions_) {
        try {
            BOOST_LOG_TRIVIAL(warning)
                << "cryptoki: no function list, finalize skipped, library: " << libraryPath();
        } catch (...) {
        }
        return;
    }
    functions_->C_Finalize(nullptr);
}

std::string ZolvexCryptoki::model(CK_SLOT_ID) const {
    return kModel;
}

std::string ZolvexCryptoki::alias(const CK_TOKEN_INFO&) const {
    return kModel;
}

CK_FUNCTION_LIST* ZolvexCryptoki::functions() {
    if (!functions_) {
        BOOST_THROW_EXCEPTION(
            crypto::exception::CryptoException(crypto::exception::TokenInitializeFailed)
            << crypto::exception::Message_("zolvex"));
    }
    return functions_;
}

CK_FUNCTION_LIST* ZolvexCryptoki::functionList() {
    return functions();
}

CK_RV ZolvexCryptoki::C_WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved) {
    return functions()->C_WaitForSlotEvent(flags, slot, reserved);
}

CK_RV ZolvexCryptoki::C_Initialize(void* initArgs) {
    return functions()->C_Initialize(initArgs);
}

CK_RV ZolvexCryptoki::C_Finalize(void* reserved) {
    return functions()->C_Finalize(reserved);
}

CK_RV ZolvexCryptoki::C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* slots, CK_ULONG* count) {
    return functions()->C_GetSlotList(tokenPresent, slots, count);
}

CK_RV ZolvexCryptoki::C_GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* mechanisms,
                                         CK_ULONG* count) {
    return functions()->C_GetMechanismList(slot, mechanisms, count);
}

CK_RV ZolvexCryptoki::C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
    return functions()->C_GetTokenInfo(slot, info);
}

CK_RV ZolvexCryptoki::C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, void* application,
                                    CK_NOTIFY notify, CK_SESSION_HANDLE* session) {
    return functions()->C_OpenSession(slot, flags, application, notify, session);
}

CK_RV ZolvexCryptoki::C_CloseSession(CK_SESSION_HANDLE session) {
    return functions()->C_CloseSession(session);
}

CK_RV ZolvexCryptoki::C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR* pin,
                              CK_ULONG pinLength) {
    return functions()->C_Login(session, userType, pin, pinLength);
}

CK_RV ZolvexCryptoki::C_Logout(CK_SESSION_HANDLE session) {
    return functions()->C_Logout(session);
}

CK_RV ZolvexCryptoki::C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes,
                                        CK_ULONG count) {
    return functions()->C_FindObjectsInit(session, attributes, count);
}

CK_RV ZolvexCryptoki::C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* objects,
                                    CK_ULONG maxCount, CK_ULONG* count) {
    return functions()->C_FindObjects(session, objects, maxCount, count);
}

CK_RV ZolvexCryptoki::C_FindObjectsFinal(CK_SESSION_HANDLE session) {
    return functions()->C_FindObjectsFinal(session);
}

CK_RV ZolvexCryptoki::C_CreateObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes,
                                     CK_ULONG count, CK_OBJECT_HANDLE* object) {
    return functions()->C_CreateObject(session, attributes, count, object);
}

CK_RV ZolvexCryptoki::C_DestroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    return functions()->C_DestroyObject(session, object);
}

CK_RV ZolvexCryptoki::C_SetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                          CK_ATTRIBUTE* attributes, CK_ULONG count) {
    return functions()->C_SetAttributeValue(session, object, attributes, count);
}

CK_RV ZolvexCryptoki::C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                          CK_ATTRIBUTE* attributes, CK_ULONG count) {
    return functions()->C_GetAttributeValue(session, object, attributes, count);
}

CK_RV ZolvexCryptoki::C_GenerateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                                        CK_ATTRIBUTE* publicTemplate, CK_ULONG publicCount,
                                        CK_ATTRIBUTE* privateTemplate, CK_ULONG privateCount,
                                        CK_OBJECT_HANDLE* publicKey, CK_OBJECT_HANDLE* privateKey) {
    return functions()->C_GenerateKeyPair(session, mechanism, publicTemplate, publicCount,
                                          privateTemplate, privateCount, publicKey, privateKey);
}

CK_RV ZolvexCryptoki::C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism) {
    return functions()->C_DigestInit(session, mechanism);
}

CK_RV ZolvexCryptoki::C_Digest(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length,
                               CK_BYTE* digest, CK_ULONG* digestLength) {
    return functions()->C_Digest(session, data, length, digest, digestLength);
}

CK_RV ZolvexCryptoki::C_DigestUpdate(CK_SESSION_HANDLE session, CK_BYTE* part, CK_ULONG length) {
    return functions()->C_DigestUpdate(session, part, length);
}

CK_RV ZolvexCryptoki::C_DigestFinal(CK_SESSION_HANDLE session, CK_BYTE* digest,
                                    CK_ULONG* digestLength) {
    return functions()->C_DigestFinal(session, digest, digestLength);
}

CK_RV ZolvexCryptoki::C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                                 CK_OBJECT_HANDLE key) {
    return functions()->C_SignInit(session, mechanism, key);
}

CK_RV ZolvexCryptoki::C_Sign(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length,
                             CK_BYTE* signature, CK_ULONG* signatureLength) {
    return functions()->C_Sign(session, data, length, signature, signatureLength);
}

CK_RV ZolvexCryptoki::C_SignUpdate(CK_SESSION_HANDLE session, CK_BYTE* part, CK_ULONG length) {
    return functions()->C_SignUpdate(session, part, length);
}

CK_RV ZolvexCryptoki::C_SignFinal(CK_SESSION_HANDLE session, CK_BYTE* signature,
                                  CK_ULONG* signatureLength) {
    return functions()->C_SignFinal(session, signature, signatureLength);
}

CK_RV ZolvexCryptoki::C_DecryptInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                                    CK_OBJECT_HANDLE key) {
    return functions()->C_DecryptInit(session, mechanism, key);
}

CK_RV ZolvexCryptoki::C_Decrypt(CK_SESSION_HANDLE session, CK_BYTE* encrypted,
                                CK_ULONG encryptedLength, CK_BYTE* data, CK_ULONG* dataLength) {
    return functions()->C_Decrypt(session, encrypted, encryptedLength, data, dataLength);
}

CK_RV ZolvexCryptoki::C_DecryptUpdate(CK_SESSION_HANDLE session, CK_BYTE* encryptedPart,
                                      CK_ULONG encryptedLength, CK_BYTE* part,
                                      CK_ULONG* partLength) {
    return functions()->C_DecryptUpdate(session, encryptedPart, encryptedLength, part, partLength);
}

CK_RV ZolvexCryptoki::C_DecryptFinal(CK_SESSION_HANDLE session, CK_BYTE* lastPart,
                                     CK_ULONG* lastPartLength) {
    return functions()->C_DecryptFinal(session, lastPart, lastPartLength);
}

CK_RV ZolvexCryptoki::C_GenerateRandom(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length) {
    return functions()->C_GenerateRandom(session, data, length);
}

CK_RV ZolvexCryptoki::C_DeriveKey(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                                  CK_OBJECT_HANDLE baseKey, CK_ATTRIBUTE* attributes,
                                  CK_ULONG count, CK_OBJECT_HANDLE* key) {
    return functions()->C_DeriveKey(session, mechanism, baseKey, attributes, count, key);
}

CK_RV ZolvexCryptoki::C_UnwrapKey(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                                  CK_OBJECT_HANDLE unwrappingKey, CK_BYTE* wrappedKey,
                                  CK_ULONG wrappedLength, CK_ATTRIBUTE* attributes, CK_ULONG count,
                                  CK_OBJECT_HANDLE* key) {
    return functions()->C_UnwrapKey(session, mechanism, unwrappingKey, wrappedKey, wrappedLength,
                                    attributes, count, key);
}

}  // namespace kelvo::plugin::cryptoki
