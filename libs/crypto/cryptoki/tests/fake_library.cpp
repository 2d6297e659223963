#include "fake_library.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kelvo::test {

namespace {

FakeLibrary* active = nullptr;

FakeLibrary& fake() {
    return FakeLibrary::current();
}

// The library's exported entries, handing over to the current fake.
namespace entry {

CK_RV initialize(void*) {
    return fake().record("C_Initialize", 0);
}
CK_RV finalize(void*) {
    return fake().record("C_Finalize", 0);
}
CK_RV getSlotList(CK_BBOOL present, CK_SLOT_ID* list, CK_ULONG* count) {
    const CK_RV rv = fake().record("C_GetSlotList", present);
    return rv != CKR_OK ? rv : fake().getSlotList(list, count);
}
CK_RV getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* list, CK_ULONG* count) {
    const CK_RV rv = fake().record("C_GetMechanismList", slot);
    return rv != CKR_OK ? rv : fake().getMechanismList(slot, list, count);
}
CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
    const CK_RV rv = fake().record("C_GetTokenInfo", slot);
    if (rv == CKR_OK) {
        *info = fake().tokenInfo;
    }
    return rv;
}
CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS, void*, CK_NOTIFY, CK_SESSION_HANDLE* session) {
    const CK_RV rv = fake().record("C_OpenSession", slot);
    return rv != CKR_OK ? rv : fake().openSession(slot, session);
}
CK_RV closeSession(CK_SESSION_HANDLE session) {
    return fake().record("C_CloseSession", session);
}
CK_RV login(CK_SESSION_HANDLE session, CK_USER_TYPE, CK_UTF8CHAR*, CK_ULONG) {
    return fake().record("C_Login", session);
}
CK_RV logout(CK_SESSION_HANDLE session) {
    return fake().record("C_Logout", session);
}
CK_RV findObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE* attributes, CK_ULONG count) {
    const CK_RV rv = fake().record("C_FindObjectsInit", session);
    return rv != CKR_OK ? rv : fake().findObjectsInit(session, attributes, count);
}
CK_RV findObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE* found, CK_ULONG max,
                  CK_ULONG* count) {
    const CK_RV rv = fake().record("C_FindObjects", session);
    return rv != CKR_OK ? rv : fake().findObjects(session, found, max, count);
}
CK_RV findObjectsFinal(CK_SESSION_HANDLE session) {
    return fake().record("C_FindObjectsFinal", session);
}
CK_RV getAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                        CK_ATTRIBUTE* attributes, CK_ULONG count) {
    const CK_RV rv = fake().record("C_GetAttributeValue", session);
    return rv != CKR_OK ? rv : fake().getAttributeValue(session, object, attributes, count);
}
CK_RV destroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE) {
    return fake().record("C_DestroyObject", session);
}
CK_RV generateRandom(CK_SESSION_HANDLE session, CK_BYTE*, CK_ULONG) {
    return fake().record("C_GenerateRandom", session);
}
CK_RV signInit(CK_SESSION_HANDLE session, CK_MECHANISM*, CK_OBJECT_HANDLE) {
    return fake().record("C_SignInit", session);
}

}  // namespace entry

template <class T>
CK_RV copyList(const std::vector<T>& values, CK_ULONG reported, T* list, CK_ULONG* count) {
    const CK_ULONG size = reported != 0 ? reported : values.size();
    if (!list) {
        *count = size;
        return CKR_OK;
    }
    if (*count < size) {
        *count = size;
        return CKR_BUFFER_TOO_SMALL;
    }
    std::copy(values.begin(), values.end(), list);
    *count = values.size();
    return CKR_OK;
}

}  // namespace

FakeLibrary::FakeLibrary() {
    if (active) {
        throw std::logic_error("one fake library at a time");
    }
    active = this;
    list_.version = {2, 40};
    list_.C_Initialize = entry::initialize;
    list_.C_Finalize = entry::finalize;
    list_.C_GetSlotList = entry::getSlotList;
    list_.C_GetMechanismList = entry::getMechanismList;
    list_.C_GetTokenInfo = entry::getTokenInfo;
    list_.C_OpenSession = entry::openSession;
    list_.C_CloseSession = entry::closeSession;
    list_.C_Login = entry::login;
    list_.C_Logout = entry::logout;
    list_.C_FindObjectsInit = entry::findObjectsInit;
    list_.C_FindObjects = entry::findObjects;
    list_.C_FindObjectsFinal = entry::findObjectsFinal;
    list_.C_GetAttributeValue = entry::getAttributeValue;
    list_.C_DestroyObject = entry::destroyObject;
    list_.C_GenerateRandom = entry::generateRandom;
    list_.C_SignInit = entry::signInit;
}

FakeLibrary::~FakeLibrary() {
    active = nullptr;
}

FakeLibrary& FakeLibrary::current() {
    if (!active) {
        throw std::logic_error("no fake library");
    }
    return *active;
}

CK_FUNCTION_LIST* FakeLibrary::functionList() {
    return &list_;
}

CK_RV FakeLibrary::record(const std::string& entry, CK_ULONG argument) {
    calls.push_back(entry + " " + std::to_string(argument));
    const auto failure = failures.find(entry);
    return failure == failures.end() ? CKR_OK : failure->second;
}

CK_RV FakeLibrary::getSlotList(CK_SLOT_ID* list, CK_ULONG* count) {
    return copyList(slotIds, 0, list, count);
}

CK_RV FakeLibrary::getMechanismList(CK_SLOT_ID, CK_MECHANISM_TYPE* list, CK_ULONG* count) {
    return copyList(mechanisms, reportedMechanismCount, list, count);
}

CK_RV FakeLibrary::openSession(CK_SLOT_ID, CK_SESSION_HANDLE* session) {
    *session = nextSession++;
    return CKR_OK;
}

CK_RV FakeLibrary::findObjectsInit(CK_SESSION_HANDLE, CK_ATTRIBUTE* attributes, CK_ULONG count) {
    search_.clear();
    for (CK_ULONG i = 0; i < count; ++i) {
        search_.emplace_back(
            attributes[i].type,
            std::string(static_cast<const char*>(attributes[i].pValue), attributes[i].ulValueLen));
    }
    searchPosition_ = 0;
    return CKR_OK;
}

CK_RV FakeLibrary::findObjects(CK_SESSION_HANDLE, CK_OBJECT_HANDLE* found, CK_ULONG max,
                               CK_ULONG* count) {
    *count = 0;
    for (; searchPosition_ < objects.size() && *count < max; ++searchPosition_) {
        const Object& object = objects[searchPosition_];
        const bool matches = std::all_of(search_.begin(), search_.end(), [&](const auto& wanted) {
            const auto value = object.attributes.find(wanted.first);
            return value != object.attributes.end() && value->second == wanted.second;
        });
        if (matches) {
            found[(*count)++] = object.handle;
        }
    }
    return CKR_OK;
}

CK_RV FakeLibrary::getAttributeValue(CK_SESSION_HANDLE, CK_OBJECT_HANDLE handle,
                                     CK_ATTRIBUTE* attributes, CK_ULONG count) {
    const auto object = std::find_if(objects.begin(), objects.end(),
                                     [&](const Object& o) { return o.handle == handle; });
    if (object == objects.end()) {
        return CKR_OBJECT_HANDLE_INVALID;
    }
    CK_RV rv = CKR_OK;
    for (CK_ULONG i = 0; i < count; ++i) {
        CK_ATTRIBUTE& attribute = attributes[i];
        const auto value = object->attributes.find(attribute.type);
        if (value == object->attributes.end()) {
            attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            rv = CKR_ATTRIBUTE_TYPE_INVALID;
        } else if (!attribute.pValue) {
            attribute.ulValueLen = value->second.size();
        } else if (attribute.ulValueLen < value->second.size()) {
            attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            rv = CKR_BUFFER_TOO_SMALL;
        } else {
            std::memcpy(attribute.pValue, value->second.data(), value->second.size());
            attribute.ulValueLen = value->second.size();
        }
    }
    return rv;
}

std::string ulongBytes(CK_ULONG value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

}  // namespace kelvo::test
