#pragma once

#include "cryptoki/pkcs11.h"

// The library entries a binding forwards to, in the binding's slot order, each as
// X(context, name, (parameters), (arguments)). One list, expanded wherever the entries are
// declared or forwarded, so that each signature is written once; `context` is passed through
// to X (the class being declared or defined).
// clang-format off
#define KELVO_CRYPTOKI_LIBRARY_FUNCTIONS(X, context)                                              \
    X(context, C_WaitForSlotEvent,                                                                \
      (CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved),                                         \
      (flags, slot, reserved))                                                                    \
    X(context, C_Initialize, (void* initArgs), (initArgs))                                        \
    X(context, C_Finalize, (void* reserved), (reserved))                                          \
    X(context, C_GetSlotList,                                                                     \
      (CK_BBOOL tokenPresent, CK_SLOT_ID* slots, CK_ULONG* count),                                \
      (tokenPresent, slots, count))                                                               \
    X(context, C_GetMechanismList,                                                                \
      (CK_SLOT_ID slot, CK_MECHANISM_TYPE* mechanisms, CK_ULONG* count),                          \
      (slot, mechanisms, count))                                                                  \
    X(context, C_GetTokenInfo, (CK_SLOT_ID slot, CK_TOKEN_INFO* info), (slot, info))              \
    X(context, C_OpenSession,                                                                     \
      (CK_SLOT_ID slot, CK_FLAGS flags, void* application, CK_NOTIFY notify,                      \
       CK_SESSION_HANDLE* session),                                                               \
      (slot, flags, application, notify, session))                                                \
    X(context, C_CloseSession, (CK_SESSION_HANDLE session), (session))                            \
    X(context, C_Login,                                                                           \
      (CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR* pin, CK_ULONG pinLength),   \
      (session, userType, pin, pinLength))                                                        \
    X(context, C_Logout, (CK_SESSION_HANDLE session), (session))                                  \
    X(context, C_FindObjectsInit,                                                                 \
      (CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes, CK_ULONG count),                      \
      (session, attributes, count))                                                               \
    X(context, C_FindObjects,                                                                     \
      (CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* objects, CK_ULONG maxCount, CK_ULONG* count), \
      (session, objects, maxCount, count))                                                        \
    X(context, C_FindObjectsFinal, (CK_SESSION_HANDLE session), (session))                        \
    X(context, C_CreateObject,                                                                    \
      (CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes, CK_ULONG count,                       \
       CK_OBJECT_HANDLE* object),                                                                 \
      (session, attributes, count, object))                                                       \
    X(context, C_DestroyObject,                                                                   \
      (CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object),                                       \
      (session, object))                                                                          \
    X(context, C_SetAttributeValue,                                                               \
      (CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes,              \
       CK_ULONG count),                                                                           \
      (session, object, attributes, count))                                                       \
    X(context, C_GetAttributeValue,                                                               \
      (CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes,              \
       CK_ULONG count),                                                                           \
      (session, object, attributes, count))                                                       \
    X(context, C_GenerateKeyPair,                                                                 \
      (CK_SESSION_HANDLE session, CK_MECHANISM* mechanism, CK_ATTRIBUTE* publicTemplate,          \
       CK_ULONG publicCount, CK_ATTRIBUTE* privateTemplate, CK_ULONG privateCount,                \
       CK_OBJECT_HANDLE* publicKey, CK_OBJECT_HANDLE* privateKey),                                \
      (session, mechanism, publicTemplate, publicCount, privateTemplate, privateCount, publicKey, \
       privateKey))                                                                               \
    X(context, C_DigestInit,                                                                      \
      (CK_SESSION_HANDLE session, CK_MECHANISM* mechanism),                                       \
      (session, mechanism))                                                                       \
    X(context, C_Digest,                                                                          \
      (CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length, CK_BYTE* digest,                \
       CK_ULONG* digestLength),                                                                   \
      (session, data, length, digest, digestLength))                                              \
    X(context, C_DigestUpdate,                                                                    \
      (CK_SESSION_HANDLE session, CK_BYTE* part, CK_ULONG length),                                \
      (session, part, length))                                                                    \
    X(context, C_DigestFinal,                                                                     \
      (CK_SESSION_HANDLE session, CK_BYTE* digest, CK_ULONG* digestLength),                       \
      (session, digest, digestLength))                                                            \
    X(context, C_SignInit,                                                                        \
      (CK_SESSION_HANDLE session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key),                 \
      (session, mechanism, key))                                                                  \
    X(context, C_Sign,                                                                            \
      (CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length, CK_BYTE* signature,             \
       CK_ULONG* signatureLength),                                                                \
      (session, data, length, signature, signatureLength))                                        \
    X(context, C_SignUpdate,                                                                      \
      (CK_SESSION_HANDLE session, CK_BYTE* part, CK_ULONG length),                                \
      (session, part, length))                                                                    \
    X(context, C_SignFinal,                                                                       \
      (CK_SESSION_HANDLE session, CK_BYTE* signature, CK_ULONG* signatureLength),                 \
      (session, signature, signatureLength))                                                      \
    X(context, C_DecryptInit,                                                                     \
      (CK_SESSION_HANDLE session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key),                 \
      (session, mechanism, key))                                                                  \
    X(context, C_Decrypt,                                                                         \
      (CK_SESSION_HANDLE session, CK_BYTE* encrypted, CK_ULONG encryptedLength, CK_BYTE* data,    \
       CK_ULONG* dataLength),                                                                     \
      (session, encrypted, encryptedLength, data, dataLength))                                    \
    X(context, C_DecryptUpdate,                                                                   \
      (CK_SESSION_HANDLE session, CK_BYTE* encryptedPart, CK_ULONG encryptedLength,               \
       CK_BYTE* part, CK_ULONG* partLength),                                                      \
      (session, encryptedPart, encryptedLength, part, partLength))                                \
    X(context, C_DecryptFinal,                                                                    \
      (CK_SESSION_HANDLE session, CK_BYTE* lastPart, CK_ULONG* lastPartLength),                   \
      (session, lastPart, lastPartLength))                                                        \
    X(context, C_GenerateRandom,                                                                  \
      (CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length),                                \
      (session, data, length))                                                                    \
    X(context, C_DeriveKey,                                                                       \
      (CK_SESSION_HANDLE session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE baseKey,              \
       CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* key),                          \
      (session, mechanism, baseKey, attributes, count, key))                                      \
    X(context, C_UnwrapKey,                                                                       \
      (CK_SESSION_HANDLE session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE unwrappingKey,        \
       CK_BYTE* wrappedKey, CK_ULONG wrappedLength, CK_ATTRIBUTE* attributes, CK_ULONG count,     \
       CK_OBJECT_HANDLE* key),                                                                    \
      (session, mechanism, unwrappingKey, wrappedKey, wrappedLength, attributes, count, key))
// clang-format on

// In ICryptoki: every entry as a pure virtual operation.
#define KELVO_CRYPTOKI_DECLARE_ENTRY(Interface, name, parameters, arguments) \
    virtual CK_RV name parameters = 0;

// In a binding's class: every entry as an override.
#define KELVO_CRYPTOKI_DECLARE_FORWARD(Binding, name, parameters, arguments) \
    CK_RV name parameters override;

// At namespace scope: every entry of `Binding` calls the same entry of the function list
// that `functions()` gives, arguments unchanged, and returns its CK_RV.
#define KELVO_CRYPTOKI_DEFINE_FORWARD(Binding, name, parameters, arguments) \
    CK_RV Binding::name parameters {                                        \
        return functions()->name arguments;                                 \
    }
