// The token library between C_Initialize and C_Finalize: slots, sessions and every PKCS#11
// function. Methods return the function's result; refusals are thrown as CkrError. Callers
// serialise the calls (see Module).
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "gost_crypto.h"
#include "presence.h"
#include "session.h"
#include "slot.h"

namespace softtoken {

class Cryptoki {
public:
    // Reads the storage folder's configuration; throws on an unusable folder or backend.
    Cryptoki();
    Cryptoki(const Cryptoki&) = delete;
    Cryptoki& operator=(const Cryptoki&) = delete;
    ~Cryptoki();

    // Catches up with tokens pulled out or put back since the last call: the sessions of a
    // reader whose token changed die with it.
    void followPresence();

    CK_RV getInfo(CK_INFO_PTR info);
    CK_RV getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list, CK_ULONG_PTR count);
    CK_RV getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info);
    CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info);
    CK_RV waitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID_PTR slot);
    CK_RV getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count);
    CK_RV getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info);
    CK_RV initToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength,
                    CK_UTF8CHAR_PTR label);
    CK_RV initPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength);
    CK_RV setPin(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                 CK_UTF8CHAR_PTR newPin, CK_ULONG newLength);

    CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_SESSION_HANDLE_PTR session);
    CK_RV closeSession(CK_SESSION_HANDLE session);
    CK_RV closeAllSessions(CK_SLOT_ID slot);
    CK_RV getSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO_PTR info);
    CK_RV login(CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin,
                CK_ULONG pinLength);
    CK_RV logout(CK_SESSION_HANDLE session);

    CK_RV createObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                       CK_OBJECT_HANDLE_PTR object);
    CK_RV destroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object);
    CK_RV getObjectSize(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ULONG_PTR size);
    CK_RV getAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                            CK_ATTRIBUTE_PTR attributes, CK_ULONG count);
    CK_RV setAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                            CK_ATTRIBUTE_PTR attributes, CK_ULONG count);
    CK_RV findObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attributes, CK_ULONG count);
    CK_RV findObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maximum,
                      CK_ULONG_PTR count);
    CK_RV findObjectsFinal(CK_SESSION_HANDLE session);

    CK_RV digestInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism);
    CK_RV digest(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                 CK_ULONG_PTR outLength);
    CK_RV digestUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR part, CK_ULONG length);
    CK_RV digestFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR out, CK_ULONG_PTR outLength);

    CK_RV signInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    CK_RV sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
               CK_ULONG_PTR outLength);
    CK_RV signUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR part, CK_ULONG length);
    CK_RV signFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR out, CK_ULONG_PTR outLength);

    CK_RV verifyInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key);
    CK_RV verify(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length,
                 CK_BYTE_PTR signature, CK_ULONG signatureLength);
    CK_RV verifyUpdate(CK_SESSION_HANDLE session, CK_BYTE_PTR part, CK_ULONG length);
    CK_RV verifyFinal(CK_SESSION_HANDLE session, CK_BYTE_PTR signature, CK_ULONG signatureLength);

    CK_RV generateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism,
                          CK_ATTRIBUTE_PTR publicTemplate, CK_ULONG publicCount,
                          CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                          CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey);
    CK_RV seedRandom(CK_SESSION_HANDLE session, CK_BYTE_PTR seed, CK_ULONG length);
    CK_RV generateRandom(CK_SESSION_HANDLE session, CK_BYTE_PTR out, CK_ULONG length);

private:
    // The token in the reader: CKR_SLOT_ID_INVALID or CKR_TOKEN_NOT_PRESENT otherwise.
    Slot& slot(CK_SLOT_ID reader);
    Slot& tokenSlot(CK_SLOT_ID token);
    Session& session(CK_SESSION_HANDLE handle);
    Slot& slotOf(const Session& session) { return slot(session.slot); }
    void closeSessionEntry(std::map<CK_SESSION_HANDLE, Session>::iterator entry);
    CK_RV finishVerify(Session& session, const Bytes& digest, const CK_BYTE* signature,
                       CK_ULONG signatureLength);
    // The key object a sign or verify operation uses: a valid handle of the class and type.
    StoredObject keyObject(Session& session, CK_OBJECT_HANDLE key, CK_OBJECT_CLASS keyClass,
                           CK_KEY_TYPE keyType);

    std::unique_ptr<GostCrypto> crypto_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::map<CK_SESSION_HANDLE, Session> sessions_;
    CK_SESSION_HANDLE nextSession_ = 1;
    std::unique_ptr<Presence> presence_;
};

}  // namespace softtoken
