// The exported PKCS#11 entry points and the function list.

#include <chrono>
#include <thread>

#include "module.h"

#define SOFTTOKEN_EXPORT __attribute__((visibility("default")))

using softtoken::Cryptoki;
using softtoken::Module;

namespace {

CK_RV run(const char* function, const std::function<CK_RV(Cryptoki&)>& body) {
    return Module::instance().call(function, body);
}

CK_RV unsupported(const char* function) {
    return run(function, [](Cryptoki&) { return CKR_FUNCTION_NOT_SUPPORTED; });
}

}  // namespace

extern "C" {

SOFTTOKEN_EXPORT CK_RV C_Initialize(CK_VOID_PTR arguments) {
    return Module::instance().initialize(arguments);
}

SOFTTOKEN_EXPORT CK_RV C_Finalize(CK_VOID_PTR reserved) {
    return Module::instance().finalize(reserved);
}

SOFTTOKEN_EXPORT CK_RV C_GetInfo(CK_INFO_PTR info) {
    return run("C_GetInfo", [&](Cryptoki& c) { return c.getInfo(info); });
}

SOFTTOKEN_EXPORT CK_RV C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list,
                                     CK_ULONG_PTR count) {
    return run("C_GetSlotList",
               [&](Cryptoki& c) { return c.getSlotList(tokenPresent, list, count); });
}

SOFTTOKEN_EXPORT CK_RV C_GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info) {
    return run("C_GetSlotInfo", [&](Cryptoki& c) { return c.getSlotInfo(slot, info); });
}

SOFTTOKEN_EXPORT CK_RV C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
    return run("C_GetTokenInfo", [&](Cryptoki& c) { return c.getTokenInfo(slot, info); });
}

SOFTTOKEN_EXPORT CK_RV C_GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list,
                                          CK_ULONG_PTR count) {
    return run("C_GetMechanismList",
               [&](Cryptoki& c) { return c.getMechanismList(slot, list, count); });
}

SOFTTOKEN_EXPORT CK_RV C_GetMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type,
                                          CK_MECHANISM_INFO_PTR info) {
    return run("C_GetMechanismInfo",
               [&](Cryptoki& c) { return c.getMechanismInfo(slot, type, info); });
}

SOFTTOKEN_EXPORT CK_RV C_InitToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength,
                                   CK_UTF8CHAR_PTR label) {
    return run("C_InitToken",
               [&](Cryptoki& c) { return c.initToken(slot, pin, pinLength, label); });
}

SOFTTOKEN_EXPORT CK_RV C_InitPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR pin,
                                 CK_ULONG pinLength) {
    return run("C_InitPIN", [&](Cryptoki& c) { return c.initPin(session, pin, pinLength); });
}

SOFTTOKEN_EXPORT CK_RV C_SetPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin,
                                CK_ULONG oldLength, CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    return run("C_SetPIN", [&](Cryptoki& c) {
        return c.setPin(session, oldPin, oldLength, newPin, newLength);
    });
}

SOFTTOKEN_EXPORT CK_RV C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY,
                                     CK_SESSION_HANDLE_PTR session) {
    // Notifications are never sent, so the application pointer and callback are unused.
    return run("C_OpenSession", [&](Cryptoki& c) { return c.openSession(slot, flags, session); });
}

SOFTTOKEN_EXPORT CK_RV C_CloseSession(CK_SESSION_HANDLE session) {
    return run("C_CloseSession", [&](Cryptoki& c) { return c.closeSession(session); });
}

SOFTTOKEN_EXPORT CK_RV C_CloseAllSessions(CK_SLOT_ID slot) {
    return run("C_CloseAllSessions", [&](Cryptoki& c) { return c.closeAllSessions(slot); });
}

SOFTTOKEN_EXPORT CK_RV C_GetSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO_PTR info) {
    return run("C_GetSessionInfo", [&](Cryptoki& c) { return c.getSessionInfo(session, info); });
}

SOFTTOKEN_EXPORT CK_RV C_GetOperationState(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG_PTR) {
    return unsupported("C_GetOperationState");
}

SOFTTOKEN_EXPORT CK_RV C_SetOperationState(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG,
                                           CK_OBJECT_HANDLE, CK_OBJECT_HANDLE) {
    return unsupported("C_SetOperationState");
}

SOFTTOKEN_EXPORT CK_RV C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE userType,
                               CK_UTF8CHAR_PTR pin, CK_ULONG pinLength) {
    return run("C_Login", [&](Cryptoki& c) { return c.login(session, userType, pin, pinLength); });
}

SOFTTOKEN_EXPORT CK_RV C_Logout(CK_SESSION_HANDLE session) {
    return run("C_Logout", [&](Cryptoki& c) { return c.logout(session); });
}

SOFTTOKEN_EXPORT CK_RV C_CreateObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes,
                                      CK_ULONG count, CK_OBJECT_HANDLE_PTR object) {
    return run("C_CreateObject",
               [&](Cryptoki& c) { return c.createObject(session, attributes, count, object); });
}

SOFTTOKEN_EXPORT CK_RV C_CopyObject(CK_SESSION_HANDLE, CK_OBJECT_HANDLE, CK_ATTRIBUTE_PTR, CK_ULONG,
                                    CK_OBJECT_HANDLE_PTR) {
    return unsupported("C_CopyObject");
}

SOFTTOKEN_EXPORT CK_RV C_DestroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    return run("C_DestroyObject", [&](Cryptoki& c) { return c.destroyObject(session, object); });
}

SOFTTOKEN_EXPORT CK_RV C_GetObjectSize(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                       CK_ULONG_PTR size) {
    return run("C_GetObjectSize",
               [&](Cryptoki& c) { return c.getObjectSize(session, object, size); });
}

SOFTTOKEN_EXPORT CK_RV C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                           CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    return run("C_GetAttributeValue", [&](Cryptoki& c) {
        return c.getAttributeValue(session, object, attributes, count);
    });
}

SOFTTOKEN_EXPORT CK_RV C_SetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                           CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    return run("C_SetAttributeValue", [&](Cryptoki& c) {
        return c.setAttributeValue(session, object, attributes, count);
    });
}

SOFTTOKEN_EXPORT CK_RV C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes,
                                         CK_ULONG count) {
    return run("C_FindObjectsInit",
               [&](Cryptoki& c) { return c.findObjectsInit(session, attributes, count); });
}

SOFTTOKEN_EXPORT CK_RV C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects,
                                     CK_ULONG maximum, CK_ULONG_PTR count) {
    return run("C_FindObjects",
               [&](Cryptoki& c) { return c.findObjects(session, objects, maximum, count); });
}

SOFTTOKEN_EXPORT CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE session) {
    return run("C_FindObjectsFinal", [&](Cryptoki& c) { return c.findObjectsFinal(session); });
}

SOFTTOKEN_EXPORT CK_RV C_EncryptInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return unsupported("C_EncryptInit");
}

SOFTTOKEN_EXPORT CK_RV C_Encrypt(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                 CK_ULONG_PTR) {
    return unsupported("C_Encrypt");
}

SOFTTOKEN_EXPORT CK_RV C_EncryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                       CK_ULONG_PTR) {
    return unsupported("C_EncryptUpdate");
}

SOFTTOKEN_EXPORT CK_RV C_EncryptFinal(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG_PTR) {
    return unsupported("C_EncryptFinal");
}

SOFTTOKEN_EXPORT CK_RV C_DecryptInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return unsupported("C_DecryptInit");
}

SOFTTOKEN_EXPORT CK_RV C_Decrypt(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                 CK_ULONG_PTR) {
    return unsupported("C_Decrypt");
}

SOFTTOKEN_EXPORT CK_RV C_DecryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                       CK_ULONG_PTR) {
    return unsupported("C_DecryptUpdate");
}

SOFTTOKEN_EXPORT CK_RV C_DecryptFinal(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG_PTR) {
    return unsupported("C_DecryptFinal");
}

SOFTTOKEN_EXPORT CK_RV C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism) {
    return run("C_DigestInit", [&](Cryptoki& c) { return c.digestInit(session, mechanism); });
}

SOFTTOKEN_EXPORT CK_RV C_Digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length,
                                CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    return run("C_Digest",
               [&](Cryptoki& c) { return c.digest(session, data, length, out, outLength); });
}

SOFTTOKEN_EXPORT CK_RV C_DigestUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR part,
                                      CK_ULONG length) {
    return run("C_DigestUpdate",
               [&](Cryptoki& c) { return c.digestUpdate(session, part, length); });
}

SOFTTOKEN_EXPORT CK_RV C_DigestKey(CK_SESSION_HANDLE, CK_OBJECT_HANDLE) {
    return unsupported("C_DigestKey");
}

SOFTTOKEN_EXPORT CK_RV C_DigestFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR out,
                                     CK_ULONG_PTR outLength) {
    return run("C_DigestFinal",
               [&](Cryptoki& c) { return c.digestFinal(session, out, outLength); });
}

SOFTTOKEN_EXPORT CK_RV C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                  CK_OBJECT_HANDLE key) {
    return run("C_SignInit", [&](Cryptoki& c) { return c.signInit(session, mechanism, key); });
}

SOFTTOKEN_EXPORT CK_RV C_Sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length,
                              CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    return run("C_Sign",
               [&](Cryptoki& c) { return c.sign(session, data, length, out, outLength); });
}

SOFTTOKEN_EXPORT CK_RV C_SignUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR part, CK_ULONG length) {
    return run("C_SignUpdate", [&](Cryptoki& c) { return c.signUpdate(session, part, length); });
}

SOFTTOKEN_EXPORT CK_RV C_SignFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR out,
                                   CK_ULONG_PTR outLength) {
    return run("C_SignFinal", [&](Cryptoki& c) { return c.signFinal(session, out, outLength); });
}

SOFTTOKEN_EXPORT CK_RV C_SignRecoverInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return unsupported("C_SignRecoverInit");
}

SOFTTOKEN_EXPORT CK_RV C_SignRecover(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                     CK_ULONG_PTR) {
    return unsupported("C_SignRecover");
}

SOFTTOKEN_EXPORT CK_RV C_VerifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                    CK_OBJECT_HANDLE key) {
    return run("C_VerifyInit", [&](Cryptoki& c) { return c.verifyInit(session, mechanism, key); });
}

SOFTTOKEN_EXPORT CK_RV C_Verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length,
                                CK_BYTE_PTR signature, CK_ULONG signatureLength) {
    return run("C_Verify", [&](Cryptoki& c) {
        return c.verify(session, data, length, signature, signatureLength);
    });
}

SOFTTOKEN_EXPORT CK_RV C_VerifyUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR part,
                                      CK_ULONG length) {
    return run("C_VerifyUpdate",
               [&](Cryptoki& c) { return c.verifyUpdate(session, part, length); });
}

SOFTTOKEN_EXPORT CK_RV C_VerifyFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR signature,
                                     CK_ULONG signatureLength) {
    return run("C_VerifyFinal",
               [&](Cryptoki& c) { return c.verifyFinal(session, signature, signatureLength); });
}

SOFTTOKEN_EXPORT CK_RV C_VerifyRecoverInit(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE) {
    return unsupported("C_VerifyRecoverInit");
}

SOFTTOKEN_EXPORT CK_RV C_VerifyRecover(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                       CK_ULONG_PTR) {
    return unsupported("C_VerifyRecover");
}

SOFTTOKEN_EXPORT CK_RV C_DigestEncryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                             CK_ULONG_PTR) {
    return unsupported("C_DigestEncryptUpdate");
}

SOFTTOKEN_EXPORT CK_RV C_DecryptDigestUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                             CK_ULONG_PTR) {
    return unsupported("C_DecryptDigestUpdate");
}

SOFTTOKEN_EXPORT CK_RV C_SignEncryptUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                           CK_ULONG_PTR) {
    return unsupported("C_SignEncryptUpdate");
}

SOFTTOKEN_EXPORT CK_RV C_DecryptVerifyUpdate(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR,
                                             CK_ULONG_PTR) {
    return unsupported("C_DecryptVerifyUpdate");
}

SOFTTOKEN_EXPORT CK_RV C_GenerateKey(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_ATTRIBUTE_PTR,
                                     CK_ULONG, CK_OBJECT_HANDLE_PTR) {
    return unsupported("C_GenerateKey");
}

SOFTTOKEN_EXPORT CK_RV C_GenerateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                                         CK_ATTRIBUTE_PTR publicTemplate, CK_ULONG publicCount,
                                         CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                                         CK_OBJECT_HANDLE_PTR publicKey,
                                         CK_OBJECT_HANDLE_PTR privateKey) {
    return run("C_GenerateKeyPair", [&](Cryptoki& c) {
        return c.generateKeyPair(session, mechanism, publicTemplate, publicCount, privateTemplate,
                                 privateCount, publicKey, privateKey);
    });
}

SOFTTOKEN_EXPORT CK_RV C_WrapKey(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE,
                                 CK_OBJECT_HANDLE, CK_BYTE_PTR, CK_ULONG_PTR) {
    return unsupported("C_WrapKey");
}

SOFTTOKEN_EXPORT CK_RV C_UnwrapKey(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE,
                                   CK_BYTE_PTR, CK_ULONG, CK_ATTRIBUTE_PTR, CK_ULONG,
                                   CK_OBJECT_HANDLE_PTR) {
    return unsupported("C_UnwrapKey");
}

SOFTTOKEN_EXPORT CK_RV C_DeriveKey(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE,
                                   CK_ATTRIBUTE_PTR, CK_ULONG, CK_OBJECT_HANDLE_PTR) {
    return unsupported("C_DeriveKey");
}

SOFTTOKEN_EXPORT CK_RV C_SeedRandom(CK_SESSION_HANDLE session, CK_BYTE_PTR seed, CK_ULONG length) {
    return run("C_SeedRandom", [&](Cryptoki& c) { return c.seedRandom(session, seed, length); });
}

SOFTTOKEN_EXPORT CK_RV C_GenerateRandom(CK_SESSION_HANDLE session, CK_BYTE_PTR out,
                                        CK_ULONG length) {
    return run("C_GenerateRandom",
               [&](Cryptoki& c) { return c.generateRandom(session, out, length); });
}

SOFTTOKEN_EXPORT CK_RV C_GetFunctionStatus(CK_SESSION_HANDLE) {
    return run("C_GetFunctionStatus", [](Cryptoki&) { return CKR_FUNCTION_NOT_PARALLEL; });
}

SOFTTOKEN_EXPORT CK_RV C_CancelFunction(CK_SESSION_HANDLE) {
    return run("C_CancelFunction", [](Cryptoki&) { return CKR_FUNCTION_NOT_PARALLEL; });
}

SOFTTOKEN_EXPORT CK_RV C_WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID_PTR slot, CK_VOID_PTR) {
    // A blocking wait looks again now and then without holding the library's lock, so that
    // other calls go on; C_Finalize ends it with CKR_CRYPTOKI_NOT_INITIALIZED.
    for (;;) {
        const CK_RV rv =
            run("C_WaitForSlotEvent", [&](Cryptoki& c) { return c.waitForSlotEvent(flags, slot); });
        if (rv != CKR_NO_EVENT || (flags & CKF_DONT_BLOCK) != 0) {
            return rv;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

SOFTTOKEN_EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
    static CK_FUNCTION_LIST functions = {
        {2, 40},
        C_Initialize,
        C_Finalize,
        C_GetInfo,
        C_GetFunctionList,
        C_GetSlotList,
        C_GetSlotInfo,
        C_GetTokenInfo,
        C_GetMechanismList,
        C_GetMechanismInfo,
        C_InitToken,
        C_InitPIN,
        C_SetPIN,
        C_OpenSession,
        C_CloseSession,
        C_CloseAllSessions,
        C_GetSessionInfo,
        C_GetOperationState,
        C_SetOperationState,
        C_Login,
        C_Logout,
        C_CreateObject,
        C_CopyObject,
        C_DestroyObject,
        C_GetObjectSize,
        C_GetAttributeValue,
        C_SetAttributeValue,
        C_FindObjectsInit,
        C_FindObjects,
        C_FindObjectsFinal,
        C_EncryptInit,
        C_Encrypt,
        C_EncryptUpdate,
        C_EncryptFinal,
        C_DecryptInit,
        C_Decrypt,
        C_DecryptUpdate,
        C_DecryptFinal,
        C_DigestInit,
        C_Digest,
        C_DigestUpdate,
        C_DigestKey,
        C_DigestFinal,
        C_SignInit,
        C_Sign,
        C_SignUpdate,
        C_SignFinal,
        C_SignRecoverInit,
        C_SignRecover,
        C_VerifyInit,
        C_Verify,
        C_VerifyUpdate,
        C_VerifyFinal,
        C_VerifyRecoverInit,
        C_VerifyRecover,
        C_DigestEncryptUpdate,
        C_DecryptDigestUpdate,
        C_SignEncryptUpdate,
        C_DecryptVerifyUpdate,
        C_GenerateKey,
        C_GenerateKeyPair,
        C_WrapKey,
        C_UnwrapKey,
        C_DeriveKey,
        C_SeedRandom,
        C_GenerateRandom,
        C_GetFunctionStatus,
        C_CancelFunction,
        C_WaitForSlotEvent,
    };
    if (list == nullptr) {
        return CKR_ARGUMENTS_BAD;
    }
    *list = &functions;
    return CKR_OK;
}

}  // extern "C"
