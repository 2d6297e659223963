#pragma once

#include <string>

#include "cryptoki/cryptoki.h"

namespace kelvo::plugin::cryptoki {

// The binding to the ZOLVEX vendor library found beside the host program.
class ZolvexCryptoki : public Cryptoki {
public:
    // Throws std::runtime_error when the library file is missing; a file that cannot be
    // loaded or lacks C_GetFunctionList only makes functions() throw later.
    ZolvexCryptoki();
    // Finalizes the library when it was bound.
    ~ZolvexCryptoki() override;

    std::string model(CK_SLOT_ID slot) const override;
    std::string alias(const CK_TOKEN_INFO& info) const override;

    // Throws CryptoException TokenInitializeFailed when the library gave no function list.
    CK_FUNCTION_LIST* functions() override;

    CK_RV C_WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved) override;
    CK_RV C_Initialize(void* initArgs) override;
    CK_RV C_Finalize(void* reserved) override;
    CK_RV C_GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* slots, CK_ULONG* count) override;
    CK_RV C_GetMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* mechanisms,
                             CK_ULONG* count) override;
    CK_RV C_GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) override;
    CK_RV C_OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, void* application, CK_NOTIFY notify,
                        CK_SESSION_HANDLE* session) override;
    CK_RV C_CloseSession(CK_SESSION_HANDLE session) override;
    CK_RV C_Login(CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR* pin,
                  CK_ULONG pinLength) override;
    CK_RV C_Logout(CK_SESSION_HANDLE session) override;
    CK_RV C_FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes,
                            CK_ULONG count) override;
    CK_RV C_FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* objects, CK_ULONG maxCount,
                        CK_ULONG* count) override;
    CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE session) override;
    CK_RV C_CreateObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes, CK_ULONG count,
                         CK_OBJECT_HANDLE* object) override;
    CK_RV C_DestroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) override;
    CK_RV C_SetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                              CK_ATTRIBUTE* attributes, CK_ULONG count) override;
    CK_RV C_GetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                              CK_ATTRIBUTE* attributes, CK_ULONG count) override;
    CK_RV C_GenerateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                            CK_ATTRIBUTE* publicTemplate, CK_ULONG publicCount,
                            CK_ATTRIBUTE* privateTemplate, CK_ULONG privateCount,
                            CK_OBJECT_HANDLE* publicKey, CK_OBJECT_HANDLE* privateKey) override;
    CK_RV C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism) override;
    CK_RV C_Digest(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length, CK_BYTE* digest,
                   CK_ULONG* digestLength) override;
    CK_RV C_DigestUpdate(CK_SESSION_HANDLE session, CK_BYTE* part, CK_ULONG length) override;
    CK_RV C_DigestFinal(CK_SESSION_HANDLE session, CK_BYTE* digest,
                        CK_ULONG* digestLength) override;
    CK_RV C_SignInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                     CK_OBJECT_HANDLE key) override;
    CK_RV C_Sign(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length, CK_BYTE* signature,
                 CK_ULONG* signatureLength) override;
    CK_RV C_SignUpdate(CK_SESSION_HANDLE session, CK_BYTE* part, CK_ULONG length) override;
    CK_RV C_SignFinal(CK_SESSION_HANDLE session, CK_BYTE* signature,
                      CK_ULONG* signatureLength) override;
    CK_RV C_DecryptInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                        CK_OBJECT_HANDLE key) override;
    CK_RV C_Decrypt(CK_SESSION_HANDLE session, CK_BYTE* encrypted, CK_ULONG encryptedLength,
                    CK_BYTE* data, CK_ULONG* dataLength) override;
    CK_RV C_DecryptUpdate(CK_SESSION_HANDLE session, CK_BYTE* encryptedPart,
                          CK_ULONG encryptedLength, CK_BYTE* part, CK_ULONG* partLength) override;
    CK_RV C_DecryptFinal(CK_SESSION_HANDLE session, CK_BYTE* lastPart,
                         CK_ULONG* lastPartLength) override;
    CK_RV C_GenerateRandom(CK_SESSION_HANDLE session, CK_BYTE* data, CK_ULONG length) override;
    CK_RV C_DeriveKey(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE baseKey,
                      CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* key) override;
    CK_RV C_UnwrapKey(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism,
                      CK_OBJECT_HANDLE unwrappingKey, CK_BYTE* wrappedKey, CK_ULONG wrappedLength,
                      CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* key) override;
    CK_FUNCTION_LIST* functionList() override;

protected:
    // The same binding over another library file, or over a function list obtained
    // elsewhere (nothing is loaded then).
    explicit ZolvexCryptoki(const std::string& libraryFile);
    explicit ZolvexCryptoki(CK_FUNCTION_LIST* functions);
    // The library's function list, null when there is none.
    CK_FUNCTION_LIST* functionListOrNull() const { return functions_; }

private:
    CK_FUNCTION_LIST* functions_ = nullptr;
};

}  // namespace kelvo::plugin::cryptoki
