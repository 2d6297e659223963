#include "cryptoki.h"

#include <algorithm>
#include <cstring>

#include "error.h"
#include "file_io.h"
#include "gost_key.h"
#include "key_pair_factory.h"
#include "mechanisms.h"
#include "object_policy.h"
#include "pin_check.h"

namespace softtoken {

namespace {

SecretBytes pinOf(const CK_UTF8CHAR* value, CK_ULONG length) {
    require(value != nullptr || length == 0, CKR_ARGUMENTS_BAD);
    // One byte past the longest PIN shows a PIN too long; more is never read or copied.
    return secretOf(value, std::min<CK_ULONG>(length, kMaxPinLength + 1));
}

const unsigned char* input(const CK_BYTE* data, CK_ULONG length) {
    require(data != nullptr || length == 0, CKR_ARGUMENTS_BAD);
    return data;
}

// The output convention of PKCS#11: a null buffer asks for the length, a short one gets
// CKR_BUFFER_TOO_SMALL with the length. Returns the result in those two cases, nothing when
// the buffer can take `size` bytes.
std::optional<CK_RV> lengthOnly(std::size_t size, const CK_BYTE* out, CK_ULONG_PTR length) {
    require(length != nullptr, CKR_ARGUMENTS_BAD);
    if (out == nullptr) {
        *length = size;
        return CKR_OK;
    }
    if (*length < size) {
        *length = size;
        return CKR_BUFFER_TOO_SMALL;
    }
    return std::nullopt;
}

CK_RV copyOut(const Bytes& value, CK_BYTE_PTR out, CK_ULONG_PTR length) {
    std::memcpy(out, value.data(), value.size());
    *length = value.size();
    return CKR_OK;
}

// Runs the step of an operation; any failure ends the operation, as PKCS#11 requires.
template <typename Operation, typename Step>
auto ending(std::optional<Operation>& operation, Step&& step) {
    try {
        return step();
    } catch (...) {
        operation.reset();
        throw;
    }
}

std::string trimmedLabel(const CK_UTF8CHAR* label) {
    std::string value(reinterpret_cast<const char*>(label), 32);
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

}  // namespace

Cryptoki::Cryptoki() {
    const auto directory = storageDirectory();
    createPrivateDirectory(directory);
    requirePrivateDirectory(directory);
    Config config = loadConfig(directory);
    crypto_ = std::make_unique<GostCrypto>();
    std::vector<CK_SLOT_ID> readers;
    for (auto& slotConfig : config.slots) {
        readers.push_back(slotConfig.id);
        slots_.push_back(
            std::make_unique<Slot>(slots_.size(), std::move(slotConfig), directory, *crypto_));
    }
    presence_ = std::make_unique<Presence>(directory, std::move(readers));
}

Cryptoki::~Cryptoki() = default;

Slot& Cryptoki::tokenSlot(CK_SLOT_ID token) {
    const auto it = std::find_if(slots_.begin(), slots_.end(),
                                 [token](const auto& slot) { return slot->id() == token; });
    require(it != slots_.end(), CKR_SLOT_ID_INVALID);
    return **it;
}

Slot& Cryptoki::slot(CK_SLOT_ID reader) {
    return tokenSlot(presence_->tokenIn(reader));
}

Session& Cryptoki::session(CK_SESSION_HANDLE handle) {
    const auto it = sessions_.find(handle);
    require(it != sessions_.end(), presence_->closedSession(handle));
    return it->second;
}

void Cryptoki::followPresence() {
    for (const auto& change : presence_->update()) {
        for (auto it = sessions_.begin(); it != sessions_.end();) {
            if (it->second.slot != change.reader) {
                ++it;
                continue;
            }
            // The token that left takes the session's objects and its login with it.
            if (change.previous) {
                tokenSlot(*change.previous).sessionClosed(it->first, it->second.readWrite());
            }
            presence_->sessionDied(it->first, change.reader);
            it = sessions_.erase(it);
        }
    }
}

CK_RV Cryptoki::getInfo(CK_INFO_PTR info) {
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    info->cryptokiVersion = CK_VERSION{2, 40};
    padCopy(info->manufacturerID, sizeof info->manufacturerID, "VOXA");
    info->flags = 0;
    padCopy(info->libraryDescription, sizeof info->libraryDescription, "ZOLVEX software token");
    info->libraryVersion = CK_VERSION{1, 0};
    return CKR_OK;
}

CK_RV Cryptoki::getSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
    require(count != nullptr, CKR_ARGUMENTS_BAD);
    std::vector<CK_SLOT_ID> listed;
    for (const CK_SLOT_ID reader : presence_->readers()) {
        if (!tokenPresent || presence_->holdsToken(reader)) {
            listed.push_back(reader);
        }
    }
    if (list != nullptr) {
        if (*count < listed.size()) {
            *count = listed.size();
            return CKR_BUFFER_TOO_SMALL;
        }
        std::copy(listed.begin(), listed.end(), list);
    }
    *count = listed.size();
    return CKR_OK;
}

CK_RV Cryptoki::getSlotInfo(CK_SLOT_ID id, CK_SLOT_INFO_PTR info) {
    Slot& reader = tokenSlot(id);  // the reader's own description, whatever it holds
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    reader.slotInfo(*info);
    if (!presence_->holdsToken(id)) {
        info->flags &= ~CK_FLAGS{CKF_TOKEN_PRESENT};
    }
    return CKR_OK;
}

CK_RV Cryptoki::getTokenInfo(CK_SLOT_ID id, CK_TOKEN_INFO_PTR info) {
    Slot& target = slot(id);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    target.tokenInfo(*info);
    return CKR_OK;
}

CK_RV Cryptoki::waitForSlotEvent(CK_FLAGS, CK_SLOT_ID_PTR slotId) {
    require(slotId != nullptr, CKR_ARGUMENTS_BAD);
    const auto reader = presence_->nextEvent();
    if (!reader) {
        return CKR_NO_EVENT;
    }
    *slotId = *reader;
    return CKR_OK;
}

CK_RV Cryptoki::getMechanismList(CK_SLOT_ID id, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count) {
    slot(id);
    require(count != nullptr, CKR_ARGUMENTS_BAD);
    const auto& table = mechanismTable();
    if (list != nullptr) {
        if (*count < table.size()) {
            *count = table.size();
            return CKR_BUFFER_TOO_SMALL;
        }
        std::transform(table.begin(), table.end(), list,
                       [](const MechanismEntry& entry) { return entry.type; });
    }
    *count = table.size();
    return CKR_OK;
}

CK_RV Cryptoki::getMechanismInfo(CK_SLOT_ID id, CK_MECHANISM_TYPE type,
                                 CK_MECHANISM_INFO_PTR info) {
    slot(id);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    const auto& table = mechanismTable();
    const auto it = std::find_if(table.begin(), table.end(), [type](const MechanismEntry& entry) {
        return entry.type == type;
    });
    require(it != table.end(), CKR_MECHANISM_INVALID);
    *info = it->info;
    return CKR_OK;
}

CK_RV Cryptoki::initToken(CK_SLOT_ID id, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength,
                          CK_UTF8CHAR_PTR label) {
    Slot& target = slot(id);
    require(label != nullptr, CKR_ARGUMENTS_BAD);
    target.initToken(pinOf(pin, pinLength), trimmedLabel(label));
    return CKR_OK;
}

CK_RV Cryptoki::initPin(CK_SESSION_HANDLE handle, CK_UTF8CHAR_PTR pin, CK_ULONG pinLength) {
    Session& current = session(handle);
    require(current.readWrite(), CKR_SESSION_READ_ONLY);
    slotOf(current).initPin(pinOf(pin, pinLength));
    return CKR_OK;
}

CK_RV Cryptoki::setPin(CK_SESSION_HANDLE handle, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLength,
                       CK_UTF8CHAR_PTR newPin, CK_ULONG newLength) {
    Session& current = session(handle);
    require(current.readWrite(), CKR_SESSION_READ_ONLY);
    slotOf(current).setPin(pinOf(oldPin, oldLength), pinOf(newPin, newLength));
    return CKR_OK;
}

CK_RV Cryptoki::openSession(CK_SLOT_ID id, CK_FLAGS flags, CK_SESSION_HANDLE_PTR handle) {
    Slot& target = slot(id);
    require(handle != nullptr, CKR_ARGUMENTS_BAD);
    require((flags & CKF_SERIAL_SESSION) != 0, CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    const bool readWrite = (flags & CKF_RW_SESSION) != 0;
    require(readWrite || target.loginState() != LoginState::SecurityOfficer,
            CKR_SESSION_READ_WRITE_SO_EXISTS);
    const CK_SESSION_HANDLE created = nextSession_++;
    // Flags this token does not know are ignored, and not reported back as if honoured.
    const CK_FLAGS known = flags & (CKF_SERIAL_SESSION | CKF_RW_SESSION);
    sessions_.emplace(created, Session{id, known, {}, {}, {}, {}});
    target.sessionOpened(readWrite);
    *handle = created;
    return CKR_OK;
}

void Cryptoki::closeSessionEntry(std::map<CK_SESSION_HANDLE, Session>::iterator entry) {
    slot(entry->second.slot).sessionClosed(entry->first, entry->second.readWrite());
    sessions_.erase(entry);
}

CK_RV Cryptoki::closeSession(CK_SESSION_HANDLE handle) {
    const auto it = sessions_.find(handle);
    require(it != sessions_.end(), presence_->closedSession(handle));
    closeSessionEntry(it);
    return CKR_OK;
}

CK_RV Cryptoki::closeAllSessions(CK_SLOT_ID id) {
    slot(id);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const auto current = it++;
        if (current->second.slot == id) {
            closeSessionEntry(current);
        }
    }
    return CKR_OK;
}

CK_RV Cryptoki::getSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO_PTR info) {
    Session& current = session(handle);
    require(info != nullptr, CKR_ARGUMENTS_BAD);
    const LoginState login = slotOf(current).loginState();
    const bool readWrite = current.readWrite();
    switch (login) {
        case LoginState::Public:
            info->state = readWrite ? CKS_RW_PUBLIC_SESSION : CKS_RO_PUBLIC_SESSION;
            break;
        case LoginState::User:
            info->state = readWrite ? CKS_RW_USER_FUNCTIONS : CKS_RO_USER_FUNCTIONS;
            break;
        case LoginState::SecurityOfficer:
            info->state = CKS_RW_SO_FUNCTIONS;
            break;
    }
    info->slotID = current.slot;
    info->flags = current.flags;
    info->ulDeviceError = 0;
    return CKR_OK;
}

CK_RV Cryptoki::login(CK_SESSION_HANDLE handle, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin,
                      CK_ULONG pinLength) {
    Session& current = session(handle);
    slotOf(current).login(userType, pinOf(pin, pinLength));
    return CKR_OK;
}

CK_RV Cryptoki::logout(CK_SESSION_HANDLE handle) {
    Session& current = session(handle);
    slotOf(current).logout();
    return CKR_OK;
}

CK_RV Cryptoki::createObject(CK_SESSION_HANDLE handle, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                             CK_OBJECT_HANDLE_PTR object) {
    Session& current = session(handle);
    require(object != nullptr, CKR_ARGUMENTS_BAD);
    StoredObject created = objectFromTemplate(readTemplate(attributes, count));
    if (boolOr(created.attributes, CKA_TOKEN, false)) {
        require(current.readWrite(), CKR_SESSION_READ_ONLY);
    }
    *object = slotOf(current).create(std::move(created), handle);
    return CKR_OK;
}

CK_RV Cryptoki::destroyObject(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object) {
    Session& current = session(handle);
    Slot& target = slotOf(current);
    if (target.owns(object) && target.isTokenObject(object)) {
        target.object(object);  // an unknown handle is reported before the session mode
        require(current.readWrite(), CKR_SESSION_READ_ONLY);
    }
    target.destroy(object);
    return CKR_OK;
}

CK_RV Cryptoki::getObjectSize(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object,
                              CK_ULONG_PTR size) {
    Session& current = session(handle);
    require(size != nullptr, CKR_ARGUMENTS_BAD);
    const StoredObject found = slotOf(current).object(object);
    CK_ULONG total = found.secret.size();
    for (const auto& entry : found.attributes) {
        total += sizeof(CK_ATTRIBUTE) + entry.second.size();
    }
    *size = total;
    return CKR_OK;
}

CK_RV Cryptoki::getAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object,
                                  CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    Session& current = session(handle);
    require(attributes != nullptr || count == 0, CKR_ARGUMENTS_BAD);
    const StoredObject found = slotOf(current).object(object);
    CK_RV rv = CKR_OK;
    auto fail = [&rv](CK_ATTRIBUTE& attribute, CK_RV error) {
        attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
        if (rv == CKR_OK) {
            rv = error;
        }
    };
    for (CK_ULONG i = 0; i < count; ++i) {
        CK_ATTRIBUTE& attribute = attributes[i];
        if (isSensitive(found, attribute.type)) {
            fail(attribute, CKR_ATTRIBUTE_SENSITIVE);
            continue;
        }
        const auto it = found.attributes.find(attribute.type);
        if (it == found.attributes.end()) {
            fail(attribute, CKR_ATTRIBUTE_TYPE_INVALID);
        } else if (attribute.pValue == nullptr) {
            attribute.ulValueLen = it->second.size();
        } else if (attribute.ulValueLen >= it->second.size()) {
            std::memcpy(attribute.pValue, it->second.data(), it->second.size());
            attribute.ulValueLen = it->second.size();
        } else {
            fail(attribute, CKR_BUFFER_TOO_SMALL);
        }
    }
    return rv;
}

CK_RV Cryptoki::setAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object,
                                  CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
    Session& current = session(handle);
    Slot& target = slotOf(current);
    const AttributeMap changes = readTemplate(attributes, count);
    target.object(object);
    if (target.isTokenObject(object)) {
        require(current.readWrite(), CKR_SESSION_READ_ONLY);
    }
    target.update(object, changes);
    return CKR_OK;
}

CK_RV Cryptoki::findObjectsInit(CK_SESSION_HANDLE handle, CK_ATTRIBUTE_PTR attributes,
                                CK_ULONG count) {
    Session& current = session(handle);
    require(!current.find, CKR_OPERATION_ACTIVE);
    const auto pattern = readSearchTemplate(attributes, count);
    current.find = FindOperation{
        pattern ? slotOf(current).find(*pattern) : std::vector<CK_OBJECT_HANDLE>{}, 0};
    return CKR_OK;
}

CK_RV Cryptoki::findObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE_PTR objects,
                            CK_ULONG maximum, CK_ULONG_PTR count) {
    Session& current = session(handle);
    require(current.find.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    require(count != nullptr && (objects != nullptr || maximum == 0), CKR_ARGUMENTS_BAD);
    FindOperation& find = *current.find;
    const std::size_t available = find.handles.size() - find.next;
    const std::size_t taken = std::min<std::size_t>(available, maximum);
    std::copy_n(find.handles.begin() + find.next, taken, objects);
    find.next += taken;
    *count = taken;
    return CKR_OK;
}

CK_RV Cryptoki::findObjectsFinal(CK_SESSION_HANDLE handle) {
    Session& current = session(handle);
    require(current.find.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    current.find.reset();
    return CKR_OK;
}

CK_RV Cryptoki::digestInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism) {
    Session& current = session(handle);
    require(mechanism != nullptr, CKR_ARGUMENTS_BAD);
    require(!current.digest, CKR_OPERATION_ACTIVE);
    current.digest = DigestOperation{Digest(*crypto_, digestAlgorithm(*mechanism)), false};
    return CKR_OK;
}

CK_RV Cryptoki::digest(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                       CK_ULONG_PTR outLength) {
    Session& current = session(handle);
    require(current.digest.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.digest, [&] {
        require(!current.digest->multiPart, CKR_OPERATION_ACTIVE);
        const unsigned char* bytes = input(data, length);
        if (auto rv = lengthOnly(current.digest->digest.size(), out, outLength)) {
            return *rv;
        }
        current.digest->digest.update(bytes, length);
        const Bytes value = current.digest->digest.finish();
        current.digest.reset();
        return copyOut(value, out, outLength);
    });
}

CK_RV Cryptoki::digestUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR part, CK_ULONG length) {
    Session& current = session(handle);
    require(current.digest.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.digest, [&] {
        current.digest->multiPart = true;
        current.digest->digest.update(input(part, length), length);
        return CKR_OK;
    });
}

CK_RV Cryptoki::digestFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    Session& current = session(handle);
    require(current.digest.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.digest, [&] {
        if (auto rv = lengthOnly(current.digest->digest.size(), out, outLength)) {
            return *rv;
        }
        const Bytes value = current.digest->digest.finish();
        current.digest.reset();
        return copyOut(value, out, outLength);
    });
}

StoredObject Cryptoki::keyObject(Session& current, CK_OBJECT_HANDLE key, CK_OBJECT_CLASS keyClass,
                                 CK_KEY_TYPE keyType) {
    StoredObject found;
    try {
        found = slotOf(current).object(key);
    } catch (const CkrError&) {
        throw CkrError(CKR_KEY_HANDLE_INVALID);
    }
    require(ulongOf(found.attributes, CKA_CLASS) == keyClass, CKR_KEY_TYPE_INCONSISTENT);
    require(ulongOf(found.attributes, CKA_KEY_TYPE) == keyType, CKR_KEY_TYPE_INCONSISTENT);
    return found;
}

CK_RV Cryptoki::signInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism,
                         CK_OBJECT_HANDLE key) {
    Session& current = session(handle);
    require(mechanism != nullptr, CKR_ARGUMENTS_BAD);
    require(!current.sign, CKR_OPERATION_ACTIVE);
    const SignatureMechanism chosen = signatureMechanism(*mechanism);
    StoredObject found = keyObject(current, key, CKO_PRIVATE_KEY, chosen.keyType);
    require(boolOr(found.attributes, CKA_SIGN, false) && !found.secret.empty(),
            CKR_KEY_FUNCTION_NOT_PERMITTED);
    const ParamSet* paramSet = findParamSet(found.attributes[CKA_GOSTR3410_PARAMS]);
    require(paramSet != nullptr && found.secret.size() == paramSet->bits / 8,
            CKR_KEY_TYPE_INCONSISTENT);
    current.sign = SignOperation{SignatureInput(*crypto_, chosen), paramSet, found.secret};
    return CKR_OK;
}

CK_RV Cryptoki::sign(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                     CK_ULONG_PTR outLength) {
    Session& current = session(handle);
    require(current.sign.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.sign, [&] {
        require(!current.sign->input.started(), CKR_OPERATION_ACTIVE);
        const unsigned char* bytes = input(data, length);
        if (auto rv = lengthOnly(current.sign->input.signatureSize(), out, outLength)) {
            return *rv;
        }
        const Bytes digest = current.sign->input.digestOf(bytes, length);
        const Bytes signature =
            signDigest(*crypto_, *current.sign->paramSet, current.sign->privateKey, digest);
        current.sign.reset();
        return copyOut(signature, out, outLength);
    });
}

CK_RV Cryptoki::signUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR part, CK_ULONG length) {
    Session& current = session(handle);
    require(current.sign.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.sign, [&] {
        current.sign->input.update(input(part, length), length);
        return CKR_OK;
    });
}

CK_RV Cryptoki::signFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR out, CK_ULONG_PTR outLength) {
    Session& current = session(handle);
    require(current.sign.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.sign, [&] {
        if (auto rv = lengthOnly(current.sign->input.signatureSize(), out, outLength)) {
            return *rv;
        }
        const Bytes digest = current.sign->input.finish();
        const Bytes signature =
            signDigest(*crypto_, *current.sign->paramSet, current.sign->privateKey, digest);
        current.sign.reset();
        return copyOut(signature, out, outLength);
    });
}

CK_RV Cryptoki::verifyInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism,
                           CK_OBJECT_HANDLE key) {
    Session& current = session(handle);
    require(mechanism != nullptr, CKR_ARGUMENTS_BAD);
    require(!current.verify, CKR_OPERATION_ACTIVE);
    const SignatureMechanism chosen = signatureMechanism(*mechanism);
    StoredObject found = keyObject(current, key, CKO_PUBLIC_KEY, chosen.keyType);
    require(boolOr(found.attributes, CKA_VERIFY, false), CKR_KEY_FUNCTION_NOT_PERMITTED);
    const ParamSet* paramSet = findParamSet(found.attributes[CKA_GOSTR3410_PARAMS]);
    require(paramSet != nullptr, CKR_KEY_TYPE_INCONSISTENT);
    current.verify =
        VerifyOperation{SignatureInput(*crypto_, chosen), paramSet, found.attributes[CKA_VALUE]};
    return CKR_OK;
}

CK_RV Cryptoki::finishVerify(Session& current, const Bytes& digest, const CK_BYTE* signature,
                             CK_ULONG signatureLength) {
    const VerifyOperation operation = std::move(*current.verify);
    current.verify.reset();
    require(signatureLength == operation.input.signatureSize(), CKR_SIGNATURE_LEN_RANGE);
    const bool valid = verifyDigest(*crypto_, *operation.paramSet, operation.publicValue, digest,
                                    toBytes(input(signature, signatureLength), signatureLength));
    return valid ? CKR_OK : CKR_SIGNATURE_INVALID;
}

CK_RV Cryptoki::verify(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length,
                       CK_BYTE_PTR signature, CK_ULONG signatureLength) {
    Session& current = session(handle);
    require(current.verify.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.verify, [&] {
        require(!current.verify->input.started(), CKR_OPERATION_ACTIVE);
        const Bytes digest = current.verify->input.digestOf(input(data, length), length);
        return finishVerify(current, digest, signature, signatureLength);
    });
}

CK_RV Cryptoki::verifyUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR part, CK_ULONG length) {
    Session& current = session(handle);
    require(current.verify.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.verify, [&] {
        current.verify->input.update(input(part, length), length);
        return CKR_OK;
    });
}

CK_RV Cryptoki::verifyFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR signature,
                            CK_ULONG signatureLength) {
    Session& current = session(handle);
    require(current.verify.has_value(), CKR_OPERATION_NOT_INITIALIZED);
    return ending(current.verify, [&] {
        const Bytes digest = current.verify->input.finish();
        return finishVerify(current, digest, signature, signatureLength);
    });
}

CK_RV Cryptoki::generateKeyPair(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism,
                                CK_ATTRIBUTE_PTR publicTemplate, CK_ULONG publicCount,
                                CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                                CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey) {
    Session& current = session(handle);
    require(mechanism != nullptr && publicKey != nullptr && privateKey != nullptr,
            CKR_ARGUMENTS_BAD);
    const AttributeMap publicAttributes = readTemplate(publicTemplate, publicCount);
    const AttributeMap privateAttributes = readTemplate(privateTemplate, privateCount);
    KeyPairObjects pair =
        generateKeyPairObjects(*crypto_, *mechanism, publicAttributes, privateAttributes);
    // Check both objects can be stored before storing either.
    Slot& target = slotOf(current);
    for (const StoredObject* object : {&pair.publicKey, &pair.privateKey}) {
        if (boolOr(object->attributes, CKA_TOKEN, false)) {
            require(current.readWrite(), CKR_SESSION_READ_ONLY);
        }
        if (boolOr(object->attributes, CKA_PRIVATE, false)) {
            require(target.loginState() == LoginState::User, CKR_USER_NOT_LOGGED_IN);
        }
    }
    *publicKey = target.create(std::move(pair.publicKey), handle);
    *privateKey = target.create(std::move(pair.privateKey), handle);
    return CKR_OK;
}

CK_RV Cryptoki::seedRandom(CK_SESSION_HANDLE handle, CK_BYTE_PTR seed, CK_ULONG length) {
    session(handle);
    require(seed != nullptr || length == 0, CKR_ARGUMENTS_BAD);
    return CKR_RANDOM_SEED_NOT_SUPPORTED;
}

CK_RV Cryptoki::generateRandom(CK_SESSION_HANDLE handle, CK_BYTE_PTR out, CK_ULONG length) {
    session(handle);
    require(out != nullptr || length == 0, CKR_ARGUMENTS_BAD);
    crypto_->random(out, length);
    return CKR_OK;
}

}  // namespace softtoken
