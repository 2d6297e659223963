#include "slot.h"

#include <algorithm>

#include "error.h"
#include "object_policy.h"
#include "object_sealing.h"
#include "pin_check.h"

namespace softtoken {

namespace {

constexpr CK_ULONG kNumberBits = 24;
constexpr CK_ULONG kNumberMask = (CK_ULONG{1} << kNumberBits) - 1;

void requirePinLength(const SecretBytes& pin) {
    require(pin.size() >= kMinPinLength && pin.size() <= kMaxPinLength, CKR_PIN_LEN_RANGE);
}

CK_FLAGS pinFlags(unsigned failures, CK_FLAGS countLow, CK_FLAGS finalTry, CK_FLAGS locked) {
    if (failures >= kMaxPinFailures) {
        return locked;
    }
    CK_FLAGS flags = failures > 0 ? countLow : 0;
    if (failures + 1 == kMaxPinFailures) {
        flags |= finalTry;
    }
    return flags;
}

bool isPrivate(const StoredObject& object) {
    return boolOr(object.attributes, CKA_PRIVATE, false);
}

PinRole roleOf(bool securityOfficer) {
    return securityOfficer ? PinRole::SecurityOfficer : PinRole::User;
}

}  // namespace

Slot::Slot(std::size_t index, SlotConfig config, const std::filesystem::path& directory,
           const GostCrypto& crypto)
    : index_(index),
      config_(std::move(config)),
      deliverySoPin_(secretOf(config_.soPin)),
      crypto_(crypto),
      file_(directory / ("token-" + std::to_string(config_.id) + ".json")) {}

void Slot::slotInfo(CK_SLOT_INFO& info) const {
    padCopy(info.slotDescription, sizeof info.slotDescription, config_.description);
    padCopy(info.manufacturerID, sizeof info.manufacturerID, config_.manufacturer);
    info.flags = CKF_TOKEN_PRESENT | CKF_REMOVABLE_DEVICE | CKF_HW_SLOT;
    info.hardwareVersion = config_.hardware;
    info.firmwareVersion = config_.firmware;
}

void Slot::tokenInfo(CK_TOKEN_INFO& info) {
    const TokenState& state = file_.state();
    padCopy(info.label, sizeof info.label, state.label);
    padCopy(info.manufacturerID, sizeof info.manufacturerID, config_.manufacturer);
    padCopy(info.model, sizeof info.model, config_.model);
    padCopy(info.serialNumber, sizeof info.serialNumber, config_.serial);
    info.flags = CKF_RNG | CKF_LOGIN_REQUIRED;
    if (state.initialized()) {
        info.flags |= CKF_TOKEN_INITIALIZED;
    }
    if (state.userKey) {
        info.flags |= CKF_USER_PIN_INITIALIZED;
    }
    info.flags |= pinFlags(state.userFailures, CKF_USER_PIN_COUNT_LOW, CKF_USER_PIN_FINAL_TRY,
                           CKF_USER_PIN_LOCKED);
    info.flags |=
        pinFlags(state.soFailures, CKF_SO_PIN_COUNT_LOW, CKF_SO_PIN_FINAL_TRY, CKF_SO_PIN_LOCKED);
    info.ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
    info.ulSessionCount = sessions_;
    info.ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
    info.ulRwSessionCount = readWriteSessions_;
    info.ulMaxPinLen = kMaxPinLength;
    info.ulMinPinLen = kMinPinLength;
    info.ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
    info.ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info.ulTotalPrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info.ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info.hardwareVersion = config_.hardware;
    info.firmwareVersion = config_.firmware;
    padCopy(info.utcTime, sizeof info.utcTime, std::string());
}

void Slot::sessionOpened(bool readWrite) {
    ++sessions_;
    if (readWrite) {
        ++readWriteSessions_;
    }
}

void Slot::sessionClosed(CK_SESSION_HANDLE session, bool readWrite) {
    --sessions_;
    if (readWrite) {
        --readWriteSessions_;
    }
    for (auto it = sessionObjects_.begin(); it != sessionObjects_.end();) {
        it = it->second.owner == session ? sessionObjects_.erase(it) : std::next(it);
    }
    if (sessions_ == 0) {
        endLogin();
    }
}

void Slot::endLogin() {
    login_ = LoginState::Public;
    tokenKey_.reset();
    file_.forgetKey();
    for (auto it = sessionObjects_.begin(); it != sessionObjects_.end();) {
        it = isPrivate(it->second.object) ? sessionObjects_.erase(it) : std::next(it);
    }
}

void Slot::login(CK_USER_TYPE userType, const SecretBytes& pin) {
    switch (userType) {
        case CKU_USER:
        case CKU_SO: {
            const LoginState wanted =
                userType == CKU_USER ? LoginState::User : LoginState::SecurityOfficer;
            require(login_ != wanted, CKR_USER_ALREADY_LOGGED_IN);
            require(login_ == LoginState::Public, CKR_USER_ANOTHER_ALREADY_LOGGED_IN);
            if (userType == CKU_SO) {
                require(readWriteSessions_ == sessions_, CKR_SESSION_READ_ONLY_EXISTS);
            }
            tokenKey_ = checkPin(file_, crypto_, roleOf(userType == CKU_SO), pin, deliverySoPin_);
            login_ = wanted;
            return;
        }
        case CKU_CONTEXT_SPECIFIC:
            require(login_ == LoginState::User, CKR_USER_NOT_LOGGED_IN);
            checkPin(file_, crypto_, PinRole::User, pin, deliverySoPin_);
            return;
        default:
            throw CkrError(CKR_USER_TYPE_INVALID);
    }
}

void Slot::logout() {
    require(login_ != LoginState::Public, CKR_USER_NOT_LOGGED_IN);
    endLogin();
}

Slot::KeyLentForOneCall::~KeyLentForOneCall() {
    if (slot_.login_ == LoginState::Public) {
        slot_.file_.forgetKey();
    }
}

void Slot::initToken(const SecretBytes& soPin, const std::string& label) {
    require(sessions_ == 0, CKR_SESSION_EXISTS);
    const KeyLentForOneCall lent(*this);
    // The same check as an SO login, lock-out included; a token never initialised has its
    // delivery SO PIN.
    checkPin(file_, crypto_, PinRole::SecurityOfficer, soPin, deliverySoPin_);
    requirePinLength(soPin);
    const TokenKey tokenKey = TokenKey::generate(crypto_);
    const RoleKey soKey = tokenKey.enrol(crypto_, PinRole::SecurityOfficer, soPin, config_.kdfCost);
    file_.modify(
        [&](TokenState& next) {
            TokenState fresh;
            fresh.label = label;
            fresh.soKey = soKey;
            fresh.nextId = next.nextId;  // numbers are never reused
            next = std::move(fresh);
        },
        &tokenKey.fileKey());
}

void Slot::refuseUninitialised() const {
    throw CkrError(CKR_FUNCTION_FAILED,
                   "token " + config_.serial + " is not initialised: C_InitToken comes first");
}

void Slot::replaceTokenKey(const TokenKey& current, PinRole role, const SecretBytes& pin) {
    const TokenKey next = current.rotated(crypto_);
    const RoleKey changed = next.enrol(crypto_, role, pin, config_.kdfCost);
    file_.modify([&](TokenState& state) {
        for (auto& [number, stored] : state.objects) {
            if (stored.isPrivate()) {
                stored.sealed = sealObject(crypto_, next, number,
                                           openObject(crypto_, current, number, stored.sealed));
            }
        }
        std::optional<RoleKey>& own = role == PinRole::User ? state.userKey : state.soKey;
        std::optional<RoleKey>& other = role == PinRole::User ? state.soKey : state.userKey;
        own = changed;
        if (other) {
            const PinRole otherRole =
                role == PinRole::User ? PinRole::SecurityOfficer : PinRole::User;
            other = next.handTo(crypto_, otherRole, *other);
        }
    });
    if (tokenKey_) {
        tokenKey_ = next;
    }
}

void Slot::initPin(const SecretBytes& pin) {
    require(login_ == LoginState::SecurityOfficer, CKR_USER_NOT_LOGGED_IN);
    requirePinLength(pin);
    if (!tokenKey_) {
        refuseUninitialised();  // logged in with the delivery SO PIN
    }
    replaceTokenKey(*tokenKey_, PinRole::User, pin);
    file_.modify([&](TokenState& next) { next.userFailures = 0; });
}

void Slot::setPin(const SecretBytes& oldPin, const SecretBytes& newPin) {
    const PinRole role = roleOf(login_ == LoginState::SecurityOfficer);
    const KeyLentForOneCall lent(*this);
    const std::optional<TokenKey> key = checkPin(file_, crypto_, role, oldPin, deliverySoPin_);
    requirePinLength(newPin);
    if (!key) {
        refuseUninitialised();  // the delivery SO PIN: no token key to wrap yet
    }
    replaceTokenKey(*key, role, newPin);
}

void Slot::requireWriteLogin(const StoredObject& object) const {
    // The SO may write public objects, as PKCS#11 gives an SO session read/write access to
    // them; everything else needs the user.
    const bool allowed =
        login_ == LoginState::User || (login_ == LoginState::SecurityOfficer && !isPrivate(object));
    require(allowed, CKR_USER_NOT_LOGGED_IN);
}

bool Slot::visible(const StoredObject& object) const {
    return login_ == LoginState::User || !isPrivate(object);
}

CK_OBJECT_HANDLE Slot::handleOf(CK_ULONG number) const {
    return (CK_OBJECT_HANDLE{index_ + 1} << kNumberBits) | number;
}

CK_ULONG Slot::numberOf(CK_OBJECT_HANDLE handle) const {
    return handle & kNumberMask;
}

bool Slot::owns(CK_OBJECT_HANDLE handle) const {
    return (handle >> kNumberBits) == index_ + 1 && numberOf(handle) != 0;
}

bool Slot::isTokenObject(CK_OBJECT_HANDLE handle) const {
    return numberOf(handle) < kFirstSessionObject;
}

FileObject Slot::toFile(CK_ULONG number, const StoredObject& object) const {
    if (!isPrivate(object)) {
        return FileObject{object.attributes, {}};
    }
    require(login_ == LoginState::User && tokenKey_, CKR_USER_NOT_LOGGED_IN);
    return FileObject{{}, sealObject(crypto_, *tokenKey_, number, object)};
}

StoredObject Slot::fromFile(CK_ULONG number, const FileObject& stored) const {
    if (!stored.isPrivate()) {
        return StoredObject{stored.attributes, {}};
    }
    require(login_ == LoginState::User && tokenKey_, CKR_OBJECT_HANDLE_INVALID);
    return openObject(crypto_, *tokenKey_, number, stored.sealed);
}

std::vector<CK_OBJECT_HANDLE> Slot::find(const AttributeMap& pattern) {
    std::vector<CK_OBJECT_HANDLE> found;
    for (const auto& [number, stored] : file_.state().objects) {
        const bool hit = stored.isPrivate()
                             ? login_ == LoginState::User &&
                                   matches(fromFile(number, stored).attributes, pattern)
                             : matches(stored.attributes, pattern);
        if (hit) {
            found.push_back(handleOf(number));
        }
    }
    for (const auto& [number, entry] : sessionObjects_) {
        if (visible(entry.object) && matches(entry.object.attributes, pattern)) {
            found.push_back(handleOf(number));
        }
    }
    return found;
}

StoredObject Slot::object(CK_OBJECT_HANDLE handle) {
    require(owns(handle), CKR_OBJECT_HANDLE_INVALID);
    const CK_ULONG number = numberOf(handle);
    if (isTokenObject(handle)) {
        const auto& objects = file_.state().objects;
        const auto it = objects.find(number);
        require(it != objects.end(), CKR_OBJECT_HANDLE_INVALID);
        return fromFile(number, it->second);
    }
    const auto it = sessionObjects_.find(number);
    require(it != sessionObjects_.end() && visible(it->second.object), CKR_OBJECT_HANDLE_INVALID);
    return it->second.object;
}

CK_OBJECT_HANDLE Slot::create(StoredObject object, CK_SESSION_HANDLE owner) {
    if (isPrivate(object)) {
        require(login_ == LoginState::User, CKR_USER_NOT_LOGGED_IN);
    }
    if (boolOr(object.attributes, CKA_TOKEN, false)) {
        requireWriteLogin(object);
    }
    if (!boolOr(object.attributes, CKA_TOKEN, false)) {
        require(nextSessionObject_ <= kNumberMask, CKR_DEVICE_MEMORY);
        const CK_ULONG number = nextSessionObject_++;
        sessionObjects_[number] = SessionObject{owner, std::move(object)};
        return handleOf(number);
    }
    CK_ULONG number = 0;
    file_.modify([&](TokenState& next) {
        require(next.nextId < kFirstSessionObject, CKR_DEVICE_MEMORY);
        number = next.nextId++;
        next.objects[number] = toFile(number, object);
    });
    return handleOf(number);
}

void Slot::destroy(CK_OBJECT_HANDLE handle) {
    const StoredObject current = object(handle);
    require(boolOr(current.attributes, CKA_DESTROYABLE, true), CKR_ACTION_PROHIBITED);
    const CK_ULONG number = numberOf(handle);
    if (!isTokenObject(handle)) {
        sessionObjects_.erase(number);
        return;
    }
    requireWriteLogin(current);
    file_.modify([&](TokenState& next) {
        require(next.objects.erase(number) == 1, CKR_OBJECT_HANDLE_INVALID);
    });
}

void Slot::update(CK_OBJECT_HANDLE handle, const AttributeMap& changes) {
    const StoredObject current = object(handle);
    checkChanges(current, changes);
    // The identifier ties a certificate to its key: never changed without a login.
    if (isTokenObject(handle) || changes.count(CKA_ID) != 0) {
        requireWriteLogin(current);
    }
    const CK_ULONG number = numberOf(handle);
    auto apply = [&changes](StoredObject& target) {
        for (const auto& [type, value] : changes) {
            target.attributes[type] = value;
        }
    };
    if (!isTokenObject(handle)) {
        apply(sessionObjects_.at(number).object);
        return;
    }
    file_.modify([&](TokenState& next) {
        const auto it = next.objects.find(number);
        require(it != next.objects.end(), CKR_OBJECT_HANDLE_INVALID);
        // Changed from the newest state, which another process may have written.
        StoredObject target = fromFile(number, it->second);
        apply(target);
        it->second = toFile(number, target);
    });
}

}  // namespace softtoken
