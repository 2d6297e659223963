#pragma once

#include <string>
#include <system_error>
#include <vector>

#include <boost/core/noncopyable.hpp>
#include <boost/optional.hpp>

#include "cryptoki/library_functions.h"
#include "cryptoki/pkcs11.h"

namespace kelvo::plugin::crypto {
class ICertificate;
class IPublicKey;
}  // namespace kelvo::plugin::crypto

namespace kelvo::plugin::cryptoki {

// The PKCS#11 binding, addressed by slot. It keeps one session per slot and passes that
// session's handle (0 when there is none) to the library for the by-session operations.
// Nothing here throws for a library failure: the CK_RV comes back unchanged and callers
// raise by isCryptokiError / toErrorCode.
class ICryptoki : private boost::noncopyable {
public:
    virtual ~ICryptoki() = default;

    // Full path of the loaded library; empty when none is loaded.
    virtual std::string libraryPath() const = 0;
    virtual std::string model(CK_SLOT_ID slot) const = 0;
    virtual std::string alias(const CK_TOKEN_INFO& info) const = 0;

    virtual CK_RV waitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved) = 0;
    virtual CK_RV initialize() = 0;
    virtual CK_RV finalize() = 0;
    virtual CK_RV getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* slots, CK_ULONG* count) = 0;
    virtual CK_RV getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* mechanisms,
                                   CK_ULONG* count) = 0;
    virtual CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) = 0;

    // By session: the slot's current session handle replaces the slot.
    virtual CK_RV findObjectsInit(CK_SLOT_ID slot, CK_ATTRIBUTE* attributes, CK_ULONG count) = 0;
    virtual CK_RV findObjects(CK_SLOT_ID slot, CK_OBJECT_HANDLE* objects, CK_ULONG maxCount,
                              CK_ULONG* count) = 0;
    virtual CK_RV findObjectsFinal(CK_SLOT_ID slot) = 0;
    virtual CK_RV createObject(CK_SLOT_ID slot, CK_ATTRIBUTE* attributes, CK_ULONG count,
                               CK_OBJECT_HANDLE* object) = 0;
    virtual CK_RV destroyObject(CK_SLOT_ID slot, CK_OBJECT_HANDLE object) = 0;
    virtual CK_RV setAttributeValue(CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                                    CK_ATTRIBUTE* attributes, CK_ULONG count) = 0;
    virtual CK_RV getAttributeValue(CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                                    CK_ATTRIBUTE* attributes, CK_ULONG count) = 0;
    virtual CK_RV digestInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism) = 0;
    virtual CK_RV digest(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length, CK_BYTE* digest,
                         CK_ULONG* digestLength) = 0;
    virtual CK_RV digestUpdate(CK_SLOT_ID slot, CK_BYTE* part, CK_ULONG length) = 0;
    virtual CK_RV digestFinal(CK_SLOT_ID slot, CK_BYTE* digest, CK_ULONG* digestLength) = 0;
    virtual CK_RV generateKeyPair(CK_SLOT_ID slot, CK_MECHANISM* mechanism,
                                  CK_ATTRIBUTE* publicTemplate, CK_ULONG publicCount,
                                  CK_ATTRIBUTE* privateTemplate, CK_ULONG privateCount,
                                  CK_OBJECT_HANDLE* publicKey, CK_OBJECT_HANDLE* privateKey) = 0;
    virtual CK_RV signInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) = 0;
    virtual CK_RV sign(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length, CK_BYTE* signature,
                       CK_ULONG* signatureLength) = 0;
    virtual CK_RV signUpdate(CK_SLOT_ID slot, CK_BYTE* part, CK_ULONG length) = 0;
    virtual CK_RV signFinal(CK_SLOT_ID slot, CK_BYTE* signature, CK_ULONG* signatureLength) = 0;
    virtual CK_RV deriveKey(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE baseKey,
                            CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* key) = 0;
    virtual CK_RV unwrapKey(CK_SLOT_ID slot, CK_MECHANISM* mechanism,
                            CK_OBJECT_HANDLE unwrappingKey, CK_BYTE* wrappedKey,
                            CK_ULONG wrappedLength, CK_ATTRIBUTE* attributes, CK_ULONG count,
                            CK_OBJECT_HANDLE* key) = 0;
    virtual CK_RV decryptInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) = 0;
    virtual CK_RV decrypt(CK_SLOT_ID slot, CK_BYTE* encrypted, CK_ULONG encryptedLength,
                          CK_BYTE* data, CK_ULONG* dataLength) = 0;
    virtual CK_RV decryptUpdate(CK_SLOT_ID slot, CK_BYTE* encryptedPart, CK_ULONG encryptedLength,
                                CK_BYTE* part, CK_ULONG* partLength) = 0;
    virtual CK_RV decryptFinal(CK_SLOT_ID slot, CK_BYTE* lastPart, CK_ULONG* lastPartLength) = 0;
    virtual CK_RV generateRandom(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length) = 0;

    // At most 256 entries; the output is left as it was on failure or when there are none.
    virtual CK_RV slotList(bool tokenPresent, std::vector<CK_SLOT_ID>& slots) = 0;
    virtual CK_RV mechanismList(CK_SLOT_ID slot, std::vector<CK_MECHANISM_TYPE>& mechanisms) = 0;

    // Counted per-slot session and login state; see Cryptoki.
    virtual CK_SESSION_HANDLE sessionHandle(CK_SLOT_ID slot) = 0;
    virtual CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS flags, void* application,
                              CK_NOTIFY notify) = 0;
    virtual CK_RV closeSession(CK_SLOT_ID slot) = 0;
    virtual CK_RV releaseSlot(CK_SLOT_ID slot) = 0;
    virtual void setLocked(CK_SLOT_ID slot, bool lock) = 0;
    virtual bool isLocked(CK_SLOT_ID slot) = 0;
    virtual CK_RV login(CK_SLOT_ID slot, CK_USER_TYPE userType, CK_UTF8CHAR* pin,
                        CK_ULONG pinLength) = 0;
    virtual CK_RV logout(CK_SLOT_ID slot) = 0;
    virtual bool isLoggedIn(CK_SLOT_ID slot) = 0;

    // The library's function list; throws when there is none.
    virtual CK_FUNCTION_LIST* functions() = 0;

    // The library's entries, arguments unchanged (see library_functions.h).
    KELVO_CRYPTOKI_LIBRARY_FUNCTIONS(KELVO_CRYPTOKI_DECLARE_ENTRY, ICryptoki)
    virtual CK_FUNCTION_LIST* functionList() = 0;

    // A token pulled out takes the slot's session and login with it. The slot's record starts
    // over (no session, counts 0, unlocked) when a call on the slot answers that its session
    // or token is gone, or when a listing of present slots leaves the slot out; a slot left out
    // is asked for its token before a call on it is refused with CKR_TOKEN_NOT_PRESENT.
    // How often the record started over, after asking whether a held session still lives:
    // whoever keeps a session across calls compares it.
    virtual unsigned long resets(CK_SLOT_ID slot) = 0;
    // False when the last listing of present slots left the slot out and the slot reports no
    // token now; true before any listing.
    virtual bool isPresent(CK_SLOT_ID slot) = 0;
};

// Reading the token through a binding. The slot's session must be open. PKCS#11 failures
// raise CryptokiException unless isCryptokiError tolerates them; then the operation goes on
// with whatever the library left in its outputs.

// Raw value bytes of one attribute (two calls: length, then value).
std::string attribute(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                      CK_ATTRIBUTE_TYPE type);
// As above without raising: failures give an empty value and fill `error`.
std::string attribute(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                      CK_ATTRIBUTE_TYPE type, std::error_code& error);

// CKA_KEY_TYPE when it reads as a 4-byte number.
boost::optional<CK_KEY_TYPE> keyType(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object);
boost::optional<CK_KEY_TYPE> keyType(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                                     std::error_code& error);

// Handles of the objects matching the template; at most 128.
std::vector<CK_OBJECT_HANDLE> objects(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                      CK_ATTRIBUTE* attributes, CK_ULONG count);

// The slot's mechanisms; at most 128.
std::vector<CK_MECHANISM_TYPE> mechanisms(ICryptoki& cryptoki, CK_SLOT_ID slot);

// Search templates. Their values live in storage owned by each builder, so a template is
// valid until the next call of the same builder.
// { CKA_CLASS = CKO_CERTIFICATE, CKA_SERIAL_NUMBER = DER INTEGER of the serial }
std::vector<CK_ATTRIBUTE> certificateTemplate(const crypto::ICertificate& certificate);
// The certificate's objects on the token: by serial number and then by value, so objects of
// writers that stored the serial differently are found too.
std::vector<CK_OBJECT_HANDLE> certificateObjects(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                                 const crypto::ICertificate& certificate);
// { CKA_CLASS = CKO_PUBLIC_KEY, CKA_ID = id }
std::vector<CK_ATTRIBUTE> containerTemplate(const std::string& id);
// { CKA_CLASS = CKO_PRIVATE_KEY, CKA_ID = id }
std::vector<CK_ATTRIBUTE> privateKeyTemplate(const std::string& id);

// The first private key whose CKA_ID equals the object's CKA_ID.
boost::optional<CK_OBJECT_HANDLE> pairedPrivateKey(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                                   CK_OBJECT_HANDLE object);
// The first public-key object whose CKA_VALUE occurs in the key's value bytes, compared with
// upper-case folding.
boost::optional<CK_OBJECT_HANDLE> publicKeyByValue(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                                   const crypto::IPublicKey& key);

}  // namespace kelvo::plugin::cryptoki
