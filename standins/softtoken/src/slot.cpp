#include "slot.h"

#include <algorithm>

#include "error.h"
#include "object_policy.h"
#include "pin.h"

namespace softtoken {

namespace {

constexpr CK_ULONG kMinPin = 4;
constexpr CK_ULONG kMaxPin = 32;
constexpr CK_ULONG kNumberBits = 24;
constexpr CK_ULONG kNumberMask = (CK_ULONG{1} << kNumberBits) - 1;

void requirePinLength(const std::string& pin) {
    require(pin.size() >= kMinPin && pin.size() <= kMaxPin, CKR_PIN_LEN_RANGE);
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

}  // namespace

Slot::Slot(std::size_t index, SlotConfig config, const std::filesystem::path& directory,
           const GostCrypto& crypto)
    : index_(index),
      config_(std::move(config)),
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
    padCopy(info.label, sizeof info.label, state.initialized ? state.label : std::string());
    padCopy(info.manufacturerID, sizeof info.manufacturerID, config_.manufacturer);
    padCopy(info.model, sizeof info.model, config_.model);
    padCopy(info.serialNumber, sizeof info.serialNumber, config_.serial);
    info.flags = CKF_RNG | CKF_LOGIN_REQUIRED;
    if (state.initialized) {
        info.flags |= CKF_TOKEN_INITIALIZED;
    }
    if (state.userPin) {
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
    info.ulMaxPinLen = kMaxPin;
    info.ulMinPinLen = kMinPin;
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
        login_ = LoginState::Public;
    }
}

void Slot::verifyPin(bool securityOfficer, const std::string& pin) {
    const TokenState& state = file_.state();
    const unsigned failures = securityOfficer ? state.soFailures : state.userFailures;
    require(failures < kMaxPinFailures, CKR_PIN_LOCKED);
    bool matches;
    if (securityOfficer) {
        // A token that was never initialised still has its delivery SO PIN.
        matches = state.soPin ? pinMatches(crypto_, *state.soPin, pin) : pin == config_.soPin;
    } else {
        require(state.userPin.has_value(), CKR_USER_PIN_NOT_INITIALIZED);
        matches = pinMatches(crypto_, *state.userPin, pin);
    }
    unsigned after = 0;
    if (matches && failures == 0) {
        return;
    }
    file_.modify([&](TokenState& next) {
        unsigned& counter = securityOfficer ? next.soFailures : next.userFailures;
        counter = matches ? 0 : std::min(counter + 1, kMaxPinFailures);
        after = counter;
    });
    if (!matches) {
        throw CkrError(after >= kMaxPinFailures ? CKR_PIN_LOCKED : CKR_PIN_INCORRECT);
    }
}

void Slot::login(CK_USER_TYPE userType, const std::string& pin) {
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
            verifyPin(userType == CKU_SO, pin);
            login_ = wanted;
            return;
        }
        case CKU_CONTEXT_SPECIFIC:
            require(login_ == LoginState::User, CKR_USER_NOT_LOGGED_IN);
            verifyPin(false, pin);
            return;
        default:
            throw CkrError(CKR_USER_TYPE_INVALID);
    }
}

void Slot::logout() {
    require(login_ != LoginState::Public, CKR_USER_NOT_LOGGED_IN);
    login_ = LoginState::Public;
}

void Slot::initToken(const std::string& soPin, const std::string& label) {
    require(sessions_ == 0, CKR_SESSION_EXISTS);
    if (file_.state().initialized) {
        verifyPin(true, soPin);
    }
    requirePinLength(soPin);
    const PinRecord record = hashPin(crypto_, soPin);
    file_.modify([&](TokenState& next) {
        const CK_ULONG nextId = next.nextId;  // numbers are never reused
        next = TokenState{};
        next.initialized = true;
        next.label = label;
        next.soPin = record;
        next.nextId = nextId;
    });
}

void Slot::initPin(const std::string& pin) {
    require(login_ == LoginState::SecurityOfficer, CKR_USER_NOT_LOGGED_IN);
    requirePinLength(pin);
    const PinRecord record = hashPin(crypto_, pin);
    file_.modify([&](TokenState& next) {
        next.userPin = record;
        next.userFailures = 0;
    });
}

void Slot::setPin(const std::string& oldPin, const std::string& newPin) {
    const bool securityOfficer = login_ == LoginState::SecurityOfficer;
    verifyPin(securityOfficer, oldPin);
    requirePinLength(newPin);
    const PinRecord record = hashPin(crypto_, newPin);
    file_.modify([&](TokenState& next) { (securityOfficer ? next.soPin : next.userPin) = record; });
}

bool Slot::visible(const StoredObject& object) const {
    return login_ == LoginState::User || !boolOr(object.attributes, CKA_PRIVATE, false);
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

std::vector<CK_OBJECT_HANDLE> Slot::find(const AttributeMap& pattern) {
    std::vector<CK_OBJECT_HANDLE> found;
    for (const auto& [number, object] : file_.state().objects) {
        if (visible(object) && matches(object.attributes, pattern)) {
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
    const StoredObject* object = nullptr;
    if (isTokenObject(handle)) {
        const auto& objects = file_.state().objects;
        const auto it = objects.find(number);
        object = it == objects.end() ? nullptr : &it->second;
    } else {
        const auto it = sessionObjects_.find(number);
        object = it == sessionObjects_.end() ? nullptr : &it->second.object;
    }
    require(object != nullptr && visible(*object), CKR_OBJECT_HANDLE_INVALID);
    return *object;
}

CK_OBJECT_HANDLE Slot::create(StoredObject object, CK_SESSION_HANDLE owner) {
    if (boolOr(object.attributes, CKA_PRIVATE, false)) {
        require(login_ == LoginState::User, CKR_USER_NOT_LOGGED_IN);
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
        next.objects[number] = object;
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
    file_.modify([&](TokenState& next) {
        require(next.objects.erase(number) == 1, CKR_OBJECT_HANDLE_INVALID);
    });
}

void Slot::update(CK_OBJECT_HANDLE handle, const AttributeMap& changes) {
    const StoredObject current = object(handle);
    checkChanges(current, changes);
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
        apply(it->second);
    });
}

}  // namespace softtoken
