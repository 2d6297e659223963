#include "cryptoki/cryptoki.h"

#include <algorithm>
#include <array>
#include <utility>

#include <boost/log/trivial.hpp>

#include "dead_session.h"

namespace kelvo::plugin::cryptoki {

namespace {

constexpr CK_ULONG kListCapacity = 256;

template <class Entry, class Read>
CK_RV readList(std::vector<Entry>& out, Read read) {
    std::array<Entry, kListCapacity> buffer{};
    CK_ULONG count = buffer.size();
    const CK_RV rv = read(buffer.data(), &count);
    if (rv != CKR_OK) {
        return rv;
    }
    if (count != 0) {
        out.assign(buffer.begin(), buffer.begin() + std::min<CK_ULONG>(count, buffer.size()));
    }
    return CKR_OK;
}

// A record with nothing in it has nothing to lose when its token goes.
bool inUse(const SlotSession& state) {
    return state.session != 0 || state.openCount != 0 || state.loginCount != 0 || state.locked;
}

}  // namespace

Cryptoki::Cryptoki(const std::string& libraryFile) : library_(libraryFile) {}

Cryptoki::Cryptoki() = default;

Cryptoki::~Cryptoki() {
    // Callers pair every openSession with a closeSession; a leftover count is their bug.
    // Raising here would terminate the host, so it is only reported and the library is
    // unloaded anyway.
    try {
        const bool allClosed = std::all_of(slots_.begin(), slots_.end(), [](const auto& entry) {
            return entry.second.openCount == 0;
        });
        if (!allClosed) {
            BOOST_LOG_TRIVIAL(error)
                << "cryptoki: not all sessions are already closed. All sessions must be closed";
        }
    } catch (...) {
        // Logging must not take the process down from a destructor.
    }
}

std::string Cryptoki::libraryPath() const {
    return library_.path();
}

SlotSession& Cryptoki::record(CK_SLOT_ID slot) {
    return slots_.try_emplace(slot, slot).first->second;
}

template <class Call>
CK_RV Cryptoki::onSession(CK_SLOT_ID slot, Call call) {
    if (!isPresent(slot)) {
        return CKR_TOKEN_NOT_PRESENT;
    }
    return track(slot, call(sessionHandle(slot)));
}

template <class Call>
CK_RV Cryptoki::onSlot(CK_SLOT_ID slot, Call call) {
    if (!isPresent(slot)) {
        return CKR_TOKEN_NOT_PRESENT;
    }
    return track(slot, call());
}

CK_RV Cryptoki::track(CK_SLOT_ID slot, CK_RV rv) {
    SlotSession& state = record(slot);
    if (isDeadSession(rv) && inUse(state)) {
        reset(state);
    }
    return rv;
}

void Cryptoki::reset(SlotSession& state) {
    BOOST_LOG_TRIVIAL(warning) << "cryptoki: session gone, slot record reset, slot: " << state.slot;
    // Some libraries keep a dead session's resources until it is closed; its answer does not
    // matter any more.
    if (const CK_SESSION_HANDLE dead = std::exchange(state.session, 0)) {
        C_CloseSession(dead);
    }
    state.locked = false;
    state.loginCount = 0;
    state.openCount = 0;
    ++state.resets;
}

void Cryptoki::notePresent(const std::vector<CK_SLOT_ID>& present) {
    std::set<CK_SLOT_ID> now(present.begin(), present.end());
    for (auto& [slot, state] : slots_) {
        if (inUse(state) && !now.count(slot)) {
            reset(state);
        }
    }
    present_ = std::move(now);
}

CK_RV Cryptoki::waitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void* reserved) {
    return C_WaitForSlotEvent(flags, slot, reserved);
}

CK_RV Cryptoki::initialize() {
    return C_Initialize(nullptr);
}

CK_RV Cryptoki::finalize() {
    return C_Finalize(nullptr);
}

CK_RV Cryptoki::getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* slots, CK_ULONG* count) {
    return C_GetSlotList(tokenPresent, slots, count);
}

CK_RV Cryptoki::getMechanismList(CK_SLOT_ID slot, CK_MECHANISM_TYPE* mechanisms, CK_ULONG* count) {
    return onSlot(slot, [&] { return C_GetMechanismList(slot, mechanisms, count); });
}

CK_RV Cryptoki::getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
    return onSlot(slot, [&] { return C_GetTokenInfo(slot, info); });
}

CK_RV Cryptoki::findObjectsInit(CK_SLOT_ID slot, CK_ATTRIBUTE* attributes, CK_ULONG count) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_FindObjectsInit(session, attributes, count);
    });
}

CK_RV Cryptoki::findObjects(CK_SLOT_ID slot, CK_OBJECT_HANDLE* objects, CK_ULONG maxCount,
                            CK_ULONG* count) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_FindObjects(session, objects, maxCount, count);
    });
}

CK_RV Cryptoki::findObjectsFinal(CK_SLOT_ID slot) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) { return C_FindObjectsFinal(session); });
}

CK_RV Cryptoki::createObject(CK_SLOT_ID slot, CK_ATTRIBUTE* attributes, CK_ULONG count,
                             CK_OBJECT_HANDLE* object) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_CreateObject(session, attributes, count, object);
    });
}

CK_RV Cryptoki::destroyObject(CK_SLOT_ID slot, CK_OBJECT_HANDLE object) {
    return onSession(slot,
                     [&](CK_SESSION_HANDLE session) { return C_DestroyObject(session, object); });
}

CK_RV Cryptoki::setAttributeValue(CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                                  CK_ATTRIBUTE* attributes, CK_ULONG count) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_SetAttributeValue(session, object, attributes, count);
    });
}

CK_RV Cryptoki::getAttributeValue(CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                                  CK_ATTRIBUTE* attributes, CK_ULONG count) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_GetAttributeValue(session, object, attributes, count);
    });
}

CK_RV Cryptoki::digestInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism) {
    return onSession(slot,
                     [&](CK_SESSION_HANDLE session) { return C_DigestInit(session, mechanism); });
}

CK_RV Cryptoki::digest(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length, CK_BYTE* digest,
                       CK_ULONG* digestLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_Digest(session, data, length, digest, digestLength);
    });
}

CK_RV Cryptoki::digestUpdate(CK_SLOT_ID slot, CK_BYTE* part, CK_ULONG length) {
    return onSession(
        slot, [&](CK_SESSION_HANDLE session) { return C_DigestUpdate(session, part, length); });
}

CK_RV Cryptoki::digestFinal(CK_SLOT_ID slot, CK_BYTE* digest, CK_ULONG* digestLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_DigestFinal(session, digest, digestLength);
    });
}

CK_RV Cryptoki::generateKeyPair(CK_SLOT_ID slot, CK_MECHANISM* mechanism,
                                CK_ATTRIBUTE* publicTemplate, CK_ULONG publicCount,
                                CK_ATTRIBUTE* privateTemplate, CK_ULONG privateCount,
                                CK_OBJECT_HANDLE* publicKey, CK_OBJECT_HANDLE* privateKey) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_GenerateKeyPair(session, mechanism, publicTemplate, publicCount, privateTemplate,
                                 privateCount, publicKey, privateKey);
    });
}

CK_RV Cryptoki::signInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    return onSession(
        slot, [&](CK_SESSION_HANDLE session) { return C_SignInit(session, mechanism, key); });
}

CK_RV Cryptoki::sign(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length, CK_BYTE* signature,
                     CK_ULONG* signatureLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_Sign(session, data, length, signature, signatureLength);
    });
}

CK_RV Cryptoki::signUpdate(CK_SLOT_ID slot, CK_BYTE* part, CK_ULONG length) {
    return onSession(
        slot, [&](CK_SESSION_HANDLE session) { return C_SignUpdate(session, part, length); });
}

CK_RV Cryptoki::signFinal(CK_SLOT_ID slot, CK_BYTE* signature, CK_ULONG* signatureLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_SignFinal(session, signature, signatureLength);
    });
}

CK_RV Cryptoki::deriveKey(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE baseKey,
                          CK_ATTRIBUTE* attributes, CK_ULONG count, CK_OBJECT_HANDLE* key) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_DeriveKey(session, mechanism, baseKey, attributes, count, key);
    });
}

CK_RV Cryptoki::unwrapKey(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE unwrappingKey,
                          CK_BYTE* wrappedKey, CK_ULONG wrappedLength, CK_ATTRIBUTE* attributes,
                          CK_ULONG count, CK_OBJECT_HANDLE* key) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_UnwrapKey(session, mechanism, unwrappingKey, wrappedKey, wrappedLength, attributes,
                           count, key);
    });
}

CK_RV Cryptoki::decryptInit(CK_SLOT_ID slot, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    return onSession(
        slot, [&](CK_SESSION_HANDLE session) { return C_DecryptInit(session, mechanism, key); });
}

CK_RV Cryptoki::decrypt(CK_SLOT_ID slot, CK_BYTE* encrypted, CK_ULONG encryptedLength,
                        CK_BYTE* data, CK_ULONG* dataLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_Decrypt(session, encrypted, encryptedLength, data, dataLength);
    });
}

CK_RV Cryptoki::decryptUpdate(CK_SLOT_ID slot, CK_BYTE* encryptedPart, CK_ULONG encryptedLength,
                              CK_BYTE* part, CK_ULONG* partLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_DecryptUpdate(session, encryptedPart, encryptedLength, part, partLength);
    });
}

CK_RV Cryptoki::decryptFinal(CK_SLOT_ID slot, CK_BYTE* lastPart, CK_ULONG* lastPartLength) {
    return onSession(slot, [&](CK_SESSION_HANDLE session) {
        return C_DecryptFinal(session, lastPart, lastPartLength);
    });
}

CK_RV Cryptoki::generateRandom(CK_SLOT_ID slot, CK_BYTE* data, CK_ULONG length) {
    return onSession(
        slot, [&](CK_SESSION_HANDLE session) { return C_GenerateRandom(session, data, length); });
}

CK_RV Cryptoki::slotList(bool tokenPresent, std::vector<CK_SLOT_ID>& slots) {
    std::vector<CK_SLOT_ID> listed;
    const CK_RV rv = readList(listed, [&](CK_SLOT_ID* buffer, CK_ULONG* count) {
        return getSlotList(tokenPresent ? CK_TRUE : CK_FALSE, buffer, count);
    });
    if (rv == CKR_OK && tokenPresent) {
        notePresent(listed);
    }
    if (!listed.empty()) {
        slots = std::move(listed);
    }
    return rv;
}

CK_RV Cryptoki::mechanismList(CK_SLOT_ID slot, std::vector<CK_MECHANISM_TYPE>& mechanisms) {
    return readList(mechanisms, [&](CK_MECHANISM_TYPE* buffer, CK_ULONG* count) {
        return getMechanismList(slot, buffer, count);
    });
}

CK_SESSION_HANDLE Cryptoki::sessionHandle(CK_SLOT_ID slot) {
    return record(slot).session;
}

CK_RV Cryptoki::openSession(CK_SLOT_ID slot, CK_FLAGS flags, void* application, CK_NOTIFY notify) {
    // A held session that died while nobody called (the token pulled out and put back) is
    // replaced before the new operation sends anything through it.
    probeSession(slot);
    SlotSession& state = record(slot);
    ++state.openCount;
    if (state.session == 0) {
        return onSlot(slot, [&] {
            return C_OpenSession(state.slot, flags, application, notify, &state.session);
        });
    }
    BOOST_LOG_TRIVIAL(warning) << "cryptoki: session already opened, action ignored, slot: "
                               << slot;
    return CKR_OK;
}

CK_RV Cryptoki::closeSession(CK_SLOT_ID slot) {
    SlotSession& state = record(slot);
    if (state.locked) {
        BOOST_LOG_TRIVIAL(info) << "cryptoki: session locked, action ignored, slot: " << slot;
        --state.openCount;
        return CKR_OK;
    }
    CK_RV rv = CKR_OK;
    if (state.session != 0 && state.openCount == 1) {
        rv = C_CloseSession(state.session);
        if (rv == CKR_OK || isDeadSession(rv)) {
            // The slot's only session takes its login with it, whatever a failed logout left.
            state.session = 0;
            state.loginCount = 0;
        }
        if (rv == CKR_OK) {
            state.locked = false;
        } else {
            track(slot, rv);
        }
    }
    // A reset voids the requests made before it; their closes must not count below zero.
    if (state.openCount > 0) {
        --state.openCount;
    }
    return rv;
}

CK_RV Cryptoki::releaseSlot(CK_SLOT_ID slot) {
    const int logins = record(slot).loginCount;
    record(slot).locked = false;
    for (int i = 0; i < logins; ++i) {
        logout(slot);
    }
    const int opens = record(slot).openCount;
    for (int i = 0; i < opens; ++i) {
        closeSession(slot);
    }
    return CKR_OK;
}

void Cryptoki::setLocked(CK_SLOT_ID slot, bool lock) {
    SlotSession& state = record(slot);
    if (state.locked != lock) {
        state.locked = lock;
        return;
    }
    BOOST_LOG_TRIVIAL(info) << "cryptoki: session already in state, action ignored, slot: " << slot
                            << ", lock: " << (lock ? 1 : 0);
}

bool Cryptoki::isLocked(CK_SLOT_ID slot) {
    return record(slot).locked;
}

CK_RV Cryptoki::login(CK_SLOT_ID slot, CK_USER_TYPE userType, CK_UTF8CHAR* pin,
                      CK_ULONG pinLength) {
    SlotSession& state = record(slot);
    if (state.loginCount == 0 || state.session == 0) {
        const CK_RV rv =
            onSlot(slot, [&] { return C_Login(state.session, userType, pin, pinLength); });
        if (rv == CKR_OK) {
            ++state.loginCount;
        }
        return rv;
    }
    BOOST_LOG_TRIVIAL(info) << "cryptoki: session already logged in, action ignored, slot: "
                            << slot;
    return CKR_OK;
}

CK_RV Cryptoki::logout(CK_SLOT_ID slot) {
    SlotSession& state = record(slot);
    if (state.locked) {
        BOOST_LOG_TRIVIAL(info) << "cryptoki: session locked, action ignored, slot: " << slot;
        return CKR_OK;
    }
    if (state.loginCount != 0 && state.session != 0) {
        const CK_RV rv = state.loginCount == 1 ? track(slot, C_Logout(state.session)) : CKR_OK;
        if (rv == CKR_OK) {
            --state.loginCount;
        }
        return rv;
    }
    BOOST_LOG_TRIVIAL(warning) << "cryptoki: session not logged in, action forced, slot: " << slot;
    if (state.loginCount != 0) {
        --state.loginCount;
    }
    return CKR_OK;
}

bool Cryptoki::isLoggedIn(CK_SLOT_ID slot) {
    return record(slot).loginCount != 0;
}

CK_FUNCTION_LIST* Cryptoki::functions() {
    return functionList();
}

unsigned long Cryptoki::resets(CK_SLOT_ID slot) {
    probeSession(slot);
    return record(slot).resets;
}

void Cryptoki::probeSession(CK_SLOT_ID slot) {
    SlotSession& state = record(slot);
    CK_FUNCTION_LIST* list = functionList();
    if (state.session == 0 || list == nullptr || list->C_GetSessionInfo == nullptr) {
        return;
    }
    CK_SESSION_INFO info{};
    track(slot, list->C_GetSessionInfo(state.session, &info));
}

bool Cryptoki::isPresent(CK_SLOT_ID slot) {
    if (!present_ || present_->count(slot) != 0) {
        return true;
    }
    // A token put in since the last listing is not kept out: the slot itself is asked.
    CK_FUNCTION_LIST* list = functionList();
    CK_SLOT_INFO info{};
    if (list != nullptr && list->C_GetSlotInfo != nullptr &&
        list->C_GetSlotInfo(slot, &info) == CKR_OK && (info.flags & CKF_TOKEN_PRESENT) != 0) {
        present_->insert(slot);
        return true;
    }
    return false;
}

}  // namespace kelvo::plugin::cryptoki
