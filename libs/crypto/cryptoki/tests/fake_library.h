#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cryptoki/pkcs11.h"

namespace kelvo::test {

// A PKCS#11 library in memory: its function list records every call as "<entry> <argument>"
// (the slot or session the call names) and answers from the fields below. One instance at a
// time is behind the function list.
class FakeLibrary {
public:
    struct Object {
        CK_OBJECT_HANDLE handle;
        std::map<CK_ATTRIBUTE_TYPE, std::string> attributes;
    };

    FakeLibrary();
    ~FakeLibrary();
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;

    CK_FUNCTION_LIST* functionList();

    // Calls of the named entries return the given result and change nothing.
    std::map<std::string, CK_RV> failures;
    std::vector<std::string> calls;

    std::vector<CK_SLOT_ID> slotIds;
    std::vector<CK_MECHANISM_TYPE> mechanisms;
    std::vector<Object> objects;
    CK_TOKEN_INFO tokenInfo{};
    CK_SESSION_HANDLE nextSession = 101;
    // Lengths reported for C_GetMechanismList and C_GetSlotList queries, when set.
    CK_ULONG reportedMechanismCount = 0;

    // Entry points of the function list.
    CK_RV record(const std::string& entry, CK_ULONG argument);
    CK_RV getSlotList(CK_SLOT_ID* list, CK_ULONG* count);
    CK_RV getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* list, CK_ULONG* count);
    CK_RV openSession(CK_SLOT_ID slot, CK_SESSION_HANDLE* session);
    CK_RV findObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes, CK_ULONG count);
    CK_RV findObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* found, CK_ULONG max,
                      CK_ULONG* count);
    CK_RV getAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                            CK_ATTRIBUTE* attributes, CK_ULONG count);

    static FakeLibrary& current();

private:
    std::vector<std::pair<CK_ATTRIBUTE_TYPE, std::string>> search_;
    std::size_t searchPosition_ = 0;
    CK_FUNCTION_LIST list_{};
};

// Attribute values as the token stores them.
std::string ulongBytes(CK_ULONG value);

}  // namespace kelvo::test
