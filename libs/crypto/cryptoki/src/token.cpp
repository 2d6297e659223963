#include "cryptoki/token.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include <boost/algorithm/hex.hpp>
#include <boost/algorithm/string/case_conv.hpp>
#include <boost/io/quoted.hpp>
#include <boost/locale/encoding_utf.hpp>
#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "check.h"
#include "crypto/ipublic_key.h"
#include "cryptoki/auth_handle.h"
#include "cryptoki/certificate.h"
#include "cryptoki/csr_creator.h"
#include "cryptoki/device.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/model_quirks.h"
#include "cryptoki/resource_cleaner.h"
#include "cryptoki/scoped_session.h"
#include "exception/crypto.h"
#include "session/session.h"

namespace kelvo::plugin::cryptoki {

namespace {

using namespace crypto::exception;
using boost::locale::conv::utf_to_utf;

// { CKA_CLASS = class } with its value in storage of its own.
std::vector<CK_ATTRIBUTE> classTemplate(CK_OBJECT_CLASS objectClass) {
    static CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    static CK_OBJECT_CLASS publicKeyClass = CKO_PUBLIC_KEY;
    CK_OBJECT_CLASS* value = objectClass == CKO_CERTIFICATE ? &certificateClass : &publicKeyClass;
    return {{CKA_CLASS, value, sizeof(CK_OBJECT_CLASS)}};
}

std::vector<CK_OBJECT_HANDLE> objectsOf(ICryptoki& library, CK_SLOT_ID slot,
                                        std::vector<CK_ATTRIBUTE> attributes) {
    return objects(library, slot, attributes.data(), attributes.size());
}

// Serial number for the log, most significant byte first, upper-case hexadecimal.
std::string serialHex(const crypto::ICertificate& certificate) {
    std::string serial = certificate.serialNumber();
    std::reverse(serial.begin(), serial.end());
    return boost::algorithm::hex(serial);
}

template <class T>
std::string quoted(const T& text) {
    std::ostringstream out;
    out << boost::io::quoted(text);
    return out.str();
}

// True when `value` occurs in `key`, comparing bytes upper-case folded.
bool containsFolded(const std::string& key, const std::string& value) {
    const std::locale locale;
    const auto equal = [&locale](char a, char b) {
        return std::toupper(a, locale) == std::toupper(b, locale);
    };
    return std::search(key.begin(), key.end(), value.begin(), value.end(), equal) != key.end();
}

// Fills the caller's key type when CKA_KEY_TYPE reads as one number.
void readKeyType(ICryptoki& library, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                 unsigned long* keyType) {
    if (!keyType) {
        return;
    }
    std::error_code error;
    if (const auto type = cryptoki::keyType(library, slot, object, error)) {
        *keyType = *type;
    }
}

// Clears a flag when the scope ends, also when filling the cache throws.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

}  // namespace

const std::set<std::string>& Token::supportedModels() {
    static const std::set<std::string> models = [] {
        std::set<std::string> names;
        for (const ModelQuirks& served : servedModels()) {
            names.emplace(served.model);
        }
        return names;
    }();
    return models;
}

Token::~Token() {
    // Cached certificates may hold authenticated keys; they release their slots through the
    // library, so they go while it is still there, and nothing may create a new one now.
    closing_ = true;
    certificateCache_.clear();
    deviceCache_ = boost::none;
    if (library_) {
        library_->finalize();
    }
}

void Token::setCache(bool enabled, bool reset) {
    caching_ = enabled;
    if (enabled && !reset) {
        return;
    }
    if (enabled) {
        library_.reset();
    }
    deviceCache_ = boost::none;
    certificateCache_.clear();
}

void Token::readCachingSwitch() {
    setCache(session::tokenCaching(session()), false);
}

boost::shared_ptr<ICryptoki> Token::cryptoki() {
    if (closing_) {
        return library_;
    }
    if (!library_) {
        library_ = createCryptoki();
    }
    const CK_RV initialized = library_->initialize();
    if (initialized == CKR_GENERAL_ERROR || initialized == CKR_FUNCTION_FAILED ||
        initialized == CKR_TOKEN_NOT_PRESENT) {
        library_.reset();
        return {};
    }
    KELVO_CRYPTOKI_CHECK_LISTING(initialized);
    // The binding keeps the list: slots left out lose their session and refuse calls.
    std::vector<CK_SLOT_ID> presentSlots;
    KELVO_CRYPTOKI_CHECK_LISTING(library_->slotList(true, presentSlots));
    return library_;
}

Token::DeviceSet Token::devices() {
    DeviceSet result;
    try {
        readCachingSwitch();
        if (!caching_) {
            result = devicesImpl();
        } else if (!busy_) {
            forgetGoneTokens();
            if (!deviceCache_ || deviceCache_->empty()) {
                BusyScope busy(busy_);
                deviceCache_ = devicesImpl();
            }
            result = *deviceCache_;
        }
        if (result.empty() && deviceCache_) {
            deviceCache_ = boost::none;
        }
    } catch (const std::runtime_error& e) {
        BOOST_LOG_TRIVIAL(error) << e.what();
    }
    return result;
}

void Token::forgetGoneTokens() {
    if (!deviceCache_ && certificateCache_.empty()) {
        return;
    }
    const auto library = cryptoki();
    const auto gone = [&library](const Device& device) {
        return !library || !library->isPresent(device.slot) || !device.stillInSlot(*library);
    };
    // The token may be back in another slot, or another token in its slot: list anew.
    if (deviceCache_ && std::any_of(deviceCache_->begin(), deviceCache_->end(),
                                    [&gone](const DevicePtr& device) { return gone(*device); })) {
        deviceCache_ = boost::none;
        certificateCache_.clear();
        return;
    }
    // Certificates whose session died hold keys that logged in on it.
    for (auto entry = certificateCache_.begin(); entry != certificateCache_.end();) {
        const Device& device = *entry->second.device;
        const bool stale = gone(device) || library->resets(device.slot) != entry->second.resets;
        entry = stale ? certificateCache_.erase(entry) : std::next(entry);
    }
}

Token::DeviceSet Token::devicesImpl() {
    DeviceSet result;
    const auto library = cryptoki();
    if (!library) {
        return result;
    }
    std::vector<CK_SLOT_ID> presentSlots;
    KELVO_CRYPTOKI_CHECK_LISTING(library->slotList(true, presentSlots));
    for (const CK_SLOT_ID slot : presentSlots) {
        auto device = boost::make_shared<Device>(*this, slot);
        if (supportedModels().count(device->model)) {
            result.insert(device);
        }
    }
    return result;
}

Token::CertificateSet Token::certificates(const DevicePtr& device) {
    readCachingSwitch();
    CertificateSet result;
    if (!caching_) {
        result = certificatesImpl(device);
    } else if (!busy_) {
        forgetGoneTokens();
        if (!certificateCache_.count(device->id)) {
            BusyScope busy(busy_);
            CertificateSet read = certificatesImpl(device);
            // Read after the listing: a session that died on the way counts already.
            const unsigned long resets = library_ ? library_->resets(device->slot) : 0;
            certificateCache_.emplace(device->id, CachedCertificates{device, resets, read});
        }
        const auto cached = certificateCache_.find(device->id);
        if (cached == certificateCache_.end()) {
            throw std::out_of_range("invalid map<K, T> key");
        }
        result = cached->second.certificates;
    }
    if (result.empty()) {
        certificateCache_.erase(device->id);
    }
    return result;
}

Token::CertificateSet Token::certificatesImpl(const DevicePtr& device) {
    CertificateSet result;
    const auto library = cryptoki();
    if (!library) {
        return result;
    }
    ScopedSession session(library, device->slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    const auto handles = objectsOf(*library, device->slot, classTemplate(CKO_CERTIFICATE));
    if (handles.empty()) {
        return result;
    }
    const auto copy = boost::make_shared<Device>(*device);
    for (const CK_OBJECT_HANDLE handle : handles) {
        const std::string der = attribute(*library, device->slot, handle, CKA_VALUE);
        if (!der.empty()) {
            result.insert(boost::make_shared<Certificate>(copy, der));
        }
    }
    return result;
}

std::vector<std::string> Token::containers(const DevicePtr& device) {
    return containersImpl(device);
}

std::vector<std::string> Token::containersImpl(const DevicePtr& device) {
    std::vector<std::string> result;
    const auto library = cryptoki();
    if (!library) {
        return result;
    }
    ScopedSession session(library, device->slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    for (const CK_OBJECT_HANDLE handle :
         objectsOf(*library, device->slot, classTemplate(CKO_PUBLIC_KEY))) {
        result.push_back(attribute(*library, device->slot, handle, CKA_ID));
    }
    return result;
}

bool Token::addCertificate(const DevicePtr& device, const CertificatePtr& certificate,
                           const char* id, std::size_t idLength, const std::string& pin) {
    const std::string container(id ? id : "", id ? idLength : 0);
    BOOST_LOG_TRIVIAL(info) << "cryptoki: add certificate: "
                            << "model: " << quoted(device->model)
                            << ", serial: " << serialHex(*certificate)
                            << ", container: " << quoted(container);
    const bool added = addCertificateImpl(device, certificate, container, pin);
    if (added) {
        setCache(true, true);
    }
    return added;
}

bool Token::addCertificateImpl(const DevicePtr& device, const CertificatePtr& certificate,
                               const std::string& id, const std::string& pin) {
    const auto library = cryptoki();
    if (!library) {
        return false;
    }
    const CK_SLOT_ID slot = device->slot;
    ScopedSession session(library, slot);
    KELVO_CRYPTOKI_CHECK(session.opened());

    std::vector<CK_ATTRIBUTE> attributes = certificateTemplate(*certificate);
    CK_BBOOL onToken = CK_TRUE;
    std::string subject(8, '\x01');
    CK_CERTIFICATE_TYPE type = CKC_X_509;
    std::string der = certificate->der();
    std::string container = id;
    attributes.push_back({CKA_TOKEN, &onToken, sizeof(onToken)});
    attributes.push_back({CKA_SUBJECT, subject.data(), subject.size()});
    attributes.push_back({CKA_CERTIFICATE_TYPE, &type, sizeof(type)});
    attributes.push_back({CKA_VALUE, der.data(), der.size()});
    if (!container.empty()) {
        attributes.push_back({CKA_ID, container.data(), container.size()});
    }

    ScopedSession nested(library, slot);
    KELVO_CRYPTOKI_CHECK(nested.opened());
    ResourceCleaner logout([&library, slot] { library->logout(slot); });
    if (!ensureLogin(*device, pin)) {
        BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
    }
    CK_OBJECT_HANDLE created = CK_INVALID_HANDLE;
    KELVO_CRYPTOKI_CHECK(
        library->createObject(slot, attributes.data(), attributes.size(), &created));
    return true;
}

bool Token::deleteCertificate(const DevicePtr& device, const CertificatePtr& certificate) {
    BOOST_LOG_TRIVIAL(info) << "cryptoki: " << device->model
                            << ", deleteCertificate: serial: " << serialHex(*certificate);
    const bool deleted = deleteCertificateImpl(device, certificate);
    if (deleted) {
        setCache(true, true);
    }
    return deleted;
}

bool Token::deleteCertificateImpl(const DevicePtr& device, const CertificatePtr& certificate) {
    const auto library = cryptoki();
    if (!library) {
        return false;
    }
    const CK_SLOT_ID slot = device->slot;
    ScopedSession session(library, slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    const auto found = certificateObjects(*library, slot, *certificate);
    if (found.empty()) {
        BOOST_THROW_EXCEPTION(CryptoException(CertificateOutStore));
    }
    ResourceCleaner logout([&library, slot] { library->logout(slot); });
    if (!ensureLogin(*device, std::string())) {
        BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
    }
    KELVO_CRYPTOKI_CHECK(library->destroyObject(slot, found.front()));
    return true;
}

bool Token::deleteContainer(const DevicePtr& device, const std::wstring& name,
                            const std::string& pin) {
    BOOST_LOG_TRIVIAL(info) << "cryptoki: " << device->model
                            << ", deleteContainer: name: " << utf_to_utf<char>(name);
    return deleteContainerImpl(device, name, pin);
}

bool Token::deleteContainerImpl(const DevicePtr& device, const std::wstring& name,
                                const std::string& pin) {
    const auto library = cryptoki();
    if (!library) {
        return false;
    }
    const CK_SLOT_ID slot = device->slot;
    ScopedSession session(library, slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    const auto found = objectsOf(*library, slot, containerTemplate(utf_to_utf<char>(name)));
    if (found.empty()) {
        BOOST_THROW_EXCEPTION(CryptoException(ContainerNotFound));
    }
    ResourceCleaner logout([&library, slot] { library->logout(slot); });
    if (!ensureLogin(*device, pin)) {
        BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
    }
    KELVO_CRYPTOKI_CHECK(library->destroyObject(slot, found.front()));
    return true;
}

Token::CertificatePtr Token::findCertificate(const DevicePtr& device,
                                             const CertificatePtr& certificate) {
    return findCertificateImpl(device, certificate);
}

Token::CertificatePtr Token::findCertificateImpl(const DevicePtr& device,
                                                 const CertificatePtr& certificate) {
    const auto library = cryptoki();
    if (!library) {
        return {};
    }
    ScopedSession session(library, device->slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    const auto found = certificateObjects(*library, device->slot, *certificate);
    if (found.empty()) {
        return {};
    }
    // The search has compared the object's value with the certificate's own DER.
    std::string der = certificate->der();
    if (der.empty()) {
        der = attribute(*library, device->slot, found.front(), CKA_VALUE);
    }
    const auto onToken = boost::make_shared<Certificate>(boost::make_shared<Device>(*device), der);
    unsigned long keyType = 0xFFFFFFFF;
    const auto container = findContainer(device, onToken, &keyType);
    // Certificates of RSA key pairs are not reported.
    if (container && keyType == CKK_RSA) {
        return {};
    }
    return onToken;
}

Token::CertificatePtr Token::findCertificate(const DevicePtr& device, const std::string& id) {
    return findCertificateImpl(device, id);
}

Token::CertificatePtr Token::findCertificateImpl(const DevicePtr& device, const std::string& id) {
    const auto library = cryptoki();
    if (!library) {
        return {};
    }
    ScopedSession session(library, device->slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    for (const CK_OBJECT_HANDLE handle :
         objectsOf(*library, device->slot, classTemplate(CKO_CERTIFICATE))) {
        std::error_code error;
        if (attribute(*library, device->slot, handle, CKA_ID, error) == id) {
            const std::string der = attribute(*library, device->slot, handle, CKA_VALUE);
            return boost::make_shared<Certificate>(boost::make_shared<Device>(*device), der);
        }
    }
    return {};
}

boost::optional<std::wstring> Token::findContainer(const DevicePtr& device,
                                                   const crypto::IPublicKey& key,
                                                   unsigned long* keyType) {
    return findContainerImpl(device, key, keyType);
}

boost::optional<std::wstring> Token::findContainerImpl(const DevicePtr& device,
                                                       const crypto::IPublicKey& key,
                                                       unsigned long* keyType) {
    const auto library = cryptoki();
    if (!library) {
        return boost::none;
    }
    ScopedSession session(library, device->slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    return containerByPublicKey(*library, device->slot, key.value(), keyType);
}

boost::optional<std::wstring> Token::containerByPublicKey(ICryptoki& library, CK_SLOT_ID slot,
                                                          const std::string& key,
                                                          unsigned long* keyType) {
    for (const CK_OBJECT_HANDLE handle : objectsOf(library, slot, classTemplate(CKO_PUBLIC_KEY))) {
        std::error_code error;
        const std::string value = attribute(library, slot, handle, CKA_VALUE, error);
        if (value.empty() || !containsFolded(key, value)) {
            continue;
        }
        const std::string id = attribute(library, slot, handle, CKA_ID, error);
        if (!id.empty()) {
            readKeyType(library, slot, handle, keyType);
            return utf_to_utf<wchar_t>(id);
        }
    }
    return boost::none;
}

boost::optional<std::wstring> Token::findContainer(const DevicePtr& device,
                                                   const CertificatePtr& certificate,
                                                   unsigned long* keyType) {
    return findContainerImpl(device, certificate, keyType);
}

boost::optional<std::wstring> Token::findContainerImpl(const DevicePtr& device,
                                                       const CertificatePtr& certificate,
                                                       unsigned long* keyType) {
    const auto library = cryptoki();
    if (!library) {
        return boost::none;
    }
    const CK_SLOT_ID slot = device->slot;
    ScopedSession session(library, slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    const auto found = certificateObjects(*library, slot, *certificate);
    if (found.empty()) {
        return boost::none;
    }
    std::error_code error;
    const std::string id = attribute(*library, slot, found.front(), CKA_ID, error);
    const std::locale locale;
    boost::optional<std::wstring> name;
    for (const std::string& candidate : {id, boost::algorithm::to_lower_copy(id, locale)}) {
        const auto keys = objectsOf(*library, slot, containerTemplate(candidate));
        if (keys.empty()) {
            continue;
        }
        if (candidate != boost::algorithm::to_lower_copy(device->id, locale)) {
            name = utf_to_utf<wchar_t>(candidate);
        }
        readKeyType(*library, slot, keys.front(), keyType);
        break;
    }
    if (!name) {
        if (const auto publicKey = certificate->publicKey()) {
            name = containerByPublicKey(*library, slot, publicKey->value(), keyType);
        }
    }
    return name;
}

boost::shared_ptr<crypto::ICsrCreator> Token::createCsrCreator() {
    return boost::make_shared<CsrCreator>();
}

std::vector<unsigned char> Token::randomBytes(const DevicePtr& device, std::size_t count) {
    std::vector<unsigned char> bytes;
    const auto library = cryptoki();
    if (!library) {
        return bytes;
    }
    ScopedSession session(library, device->slot);
    KELVO_CRYPTOKI_CHECK(session.opened());
    bytes.resize(count);
    KELVO_CRYPTOKI_CHECK(library->generateRandom(device->slot, bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace kelvo::plugin::cryptoki
