#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "cryptoki/icryptoki.h"
#include "cryptoki/slot_session.h"
#include "platform/shared_library.h"

namespace kelvo::plugin::cryptoki {

// The binding's common part: loads the library, keeps one counted session per slot and
// forwards the slot-addressed operations to the library entries a vendor binding supplies.
//
// Sessions and logins are counted per slot: the library is called only when the count says
// the real state must change. Requests that contradict the current state are logged and
// answered with CKR_OK.
class Cryptoki : public ICryptoki {
public:
    // Loads the library; a library that cannot be loaded leaves the binding empty.
    explicit Cryptoki(const std::string& libraryFile);
    // Logs when sessions are still counted open, then unloads the library.
    ~Cryptoki() override;

    std::string libraryPath() const override;

    CK_RV waitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved) override;
    CK_RV initialize() override;
    CK_RV finalize() override;
    CK_RV getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* slots, CK_ULONG* count) override;
    CK_RV getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* mechanisms,
                           CK_ULONG* count) override;
    CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) override;
    CK_RV findObjectsInit(CK_SLOT_ID slot, CK_ATTRIBUTE* attributes, CK_ULONG count) override;
    CK_RV findObjects(CK_SLOT_ID slot, CK_OBJECT_HANDLE* objects, CK_ULONG maxCount,
                      CK_ULONG* count) override;
    CK_RV findObjectsFinal(CK_SLOT_ID slot) override;
    CK_RV createObject(CK_SLOT_ID slot, CK_ATTRIBUTE* attributes, CK_ULONG count,
                       CK_OBJECT_HANDLE* object) override;
    CK_RV destroyObject(CK_SLOT_ID slot, CK_OBJECT_HANDLE object) override;
    CK_RV setAttributeValue(CK_SLOT_ID slot, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes,
                            CK_ULONG count) override;
    CK_RV getAttributeValue(CK_SLOT_ID slot, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes,
                            CK_ULONG count) override;
    CK_RV digestInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism) override;
    CK_RV digest(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length, CK_BYTE* digest,
                 CK_ULONG* digestLength) override;
    CK_RV digestUpdate(CK_SLOT_ID slot, CK_BYTE* part, CK_ULONG length) override;
    CK_RV digestFinal(CK_SLOT_ID slot, CK_BYTE* digest, CK_ULONG* digestLength) override;
    CK_RV generateKeyPair(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_ATTRIBUTE* publicTemplate,
                          CK_ULONG publicCount, CK_ATTRIBUTE* privateTemplate,
                          CK_ULONG privateCount, CK_OBJECT_HANDLE* publicKey,
                          CK_OBJECT_HANDLE* privateKey) override;
    CK_RV signInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) override;
    CK_RV sign(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length, CK_BYTE* signature,
               CK_ULONG* signatureLength) override;
    CK_RV signUpdate(CK_SLOT_ID slot, CK_BYTE* part, CK_ULONG length) override;
    CK_RV signFinal(CK_SLOT_ID slot, CK_BYTE* signature, CK_ULONG* signatureLength) override;
    CK_RV deriveKey(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE baseKey,
                    CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* key) override;
    CK_RV unwrapKey(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE unwrappingKey,
                    CK_BYTE* wrappedKey, CK_ULONG wrappedLength, CK_ATTRIBUTE* attributes,
                    CK_ULONG count, CK_OBJECT_HANDLE* key) override;
    CK_RV decryptInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) override;
    CK_RV decrypt(CK_SLOT_ID slot, CK_BYTE* encrypted, CK_ULONG encryptedLength, CK_BYTE* data,
                  CK_ULONG* dataLength) override;
    CK_RV decryptUpdate(CK_SLOT_ID slot, CK_BYTE* encryptedPart, CK_ULONG encryptedLength,
                        CK_BYTE* part, CK_ULONG* partLength) override;
    CK_RV decryptFinal(CK_SLOT_ID slot, CK_BYTE* lastPart, CK_ULONG* lastPartLength) override;
    CK_RV generateRandom(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length) override;

    CK_RV slotList(bool tokenPresent, std::vector<CK_SLOT_ID>& slots) override;
    CK_RV mechanismList(CK_SLOT_ID slot, std::vector<CK_MECHANISM_TYPE>& mechanisms) override;

    CK_SESSION_HANDLE sessionHandle(CK_SLOT_ID slot) override;
    // Opens the library session on the first request only; every request is counted,
    // failed ones too.
    CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS flags, void* application,
                      CK_NOTIFY notify) override;
    // Closes the library session when the last unlocked request is withdrawn.
    CK_RV closeSession(CK_SLOT_ID slot) override;
    // Logs out and closes as often as counted, after unlocking. Always CKR_OK.
    CK_RV releaseSlot(CK_SLOT_ID slot) override;
    // A locked slot keeps its session and login whatever closeSession and logout ask.
    void setLocked(CK_SLOT_ID slot, bool lock) override;
    bool isLocked(CK_SLOT_ID slot) override;
    // Logins do not nest: a second login on a logged-in session is ignored.
    CK_RV login(CK_SLOT_ID slot, CK_USER_TYPE userType, CK_UTF8CHAR* pin,
                CK_ULONG pinLength) override;
    CK_RV logout(CK_SLOT_ID slot) override;
    bool isLoggedIn(CK_SLOT_ID slot) override;

    CK_FUNCTION_LIST* functions() override;

    unsigned long resets(CK_SLOT_ID slot) override;
    bool isPresent(CK_SLOT_ID slot) override;

protected:
    const platform::SharedLibrary& library() const { return library_; }
    // A binding whose function list comes from elsewhere: nothing is loaded.
    Cryptoki();

private:
    SlotSession& record(CK_SLOT_ID slot);
    // Runs a call on the slot's session, or on the slot, unless the slot has no token.
    template <class Call>
    CK_RV onSession(CK_SLOT_ID slot, Call call);
    template <class Call>
    CK_RV onSlot(CK_SLOT_ID slot, Call call);
    // Asks the library whether the slot's held session still lives; a dead one starts the
    // record over.
    void probeSession(CK_SLOT_ID slot);
    // Returns the result; one saying the session died starts the slot's record over first.
    CK_RV track(CK_SLOT_ID slot, CK_RV rv);
    // Starts the record over; the library may free what it still keeps of the dead session.
    void reset(SlotSession& state);
    void notePresent(const std::vector<CK_SLOT_ID>& present);

    std::map<CK_SLOT_ID, SlotSession> slots_;
    platform::SharedLibrary library_;
    boost::optional<std::set<CK_SLOT_ID>> present_;  // the last listing of present slots
};

}  // namespace kelvo::plugin::cryptoki
