#include "cryptoki/hash.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include <boost/log/trivial.hpp>

#include "check.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/model_quirks.h"
#include "cryptoki/published.h"
#include "cryptoki/resource_cleaner.h"
#include "cryptoki/vendor_mechanisms.h"
#include "exception/crypto.h"
#include "module/itoken.h"
#include "ssl/signature_check.h"

namespace kelvo::plugin::cryptoki {

namespace {

using namespace crypto::exception;

constexpr CK_FLAGS kSessionFlags = CKF_SERIAL_SESSION | CKF_RW_SESSION;

const std::map<std::string, std::pair<CK_MECHANISM_TYPE, std::string>>& hashMechanisms() {
    static const std::map<std::string, std::pair<CK_MECHANISM_TYPE, std::string>> table{
        {"1.2.643.2.2.9", {CKM_GOSTR3411, std::string("\x06\x07\x2A\x85\x03\x02\x02\x1E\x01", 9)}},
        {"1.2.643.7.1.1.2.2",
         {CKM_GOSTR3411_2012_256, std::string("\x06\x08\x2A\x85\x03\x07\x01\x01\x02\x02", 10)}},
        {"1.2.643.7.1.1.2.3",
         {CKM_GOSTR3411_2012_512, std::string("\x06\x08\x2A\x85\x03\x07\x01\x01\x02\x03", 10)}}};
    return table;
}

const std::map<std::string, CK_MECHANISM_TYPE>& signatureMechanisms() {
    static const std::map<std::string, CK_MECHANISM_TYPE> table{
        {"1.2.643.2.2.9", CKM_GOSTR3410_WITH_GOSTR3411_94},
        {"1.2.643.7.1.1.2.2", CKM_GOSTR3410_WITH_GOSTR3411_2012_256},
        {"1.2.643.7.1.1.2.3", CKM_GOSTR3410_WITH_GOSTR3411_2012_512}};
    return table;
}

// Calls `consume` for every non-empty chunk of the stream, from where it stands.
template <class Consume>
void forEachChunk(std::istream& data, Consume consume) {
    if (data.peek() == std::char_traits<char>::eof()) {
        return;
    }
    std::vector<char> buffer(Hash::kChunkSize);
    while (data.good()) {
        data.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto count = static_cast<std::size_t>(data.gcount());
        if (count > 0) {
            consume(buffer.data(), count);
        }
    }
}

void rewind(std::istream& data) {
    data.clear();
    data.seekg(0);
}

}  // namespace

Hash::Hash(boost::shared_ptr<Device> device, boost::shared_ptr<crypto::ICertificate> signer,
           std::string algorithm)
    : device_(std::move(device)), signer_(std::move(signer)), algorithm_(std::move(algorithm)) {}

Hash::~Hash() {
    closeDigestSession();
}

boost::shared_ptr<ICryptoki> Hash::library() const {
    return device_->token->cryptoki();
}

boost::optional<Hash::Mechanism> Hash::hashMechanism() const {
    const auto found = hashMechanisms().find(algorithm_);
    if (found == hashMechanisms().end()) {
        return boost::none;
    }
    const bool withParameter = !modelQuirks(device_->model).digestWithoutParameter;
    return Mechanism{found->second.first, withParameter ? found->second.second : std::string()};
}

boost::optional<CK_MECHANISM_TYPE> Hash::signatureMechanism() const {
    const auto found = signatureMechanisms().find(algorithm_);
    return found == signatureMechanisms().end() ? boost::none : boost::make_optional(found->second);
}

void Hash::initialize() {
    const auto library = this->library();
    if (!library) {
        BOOST_THROW_EXCEPTION(CryptoException(DeviceNotFound));
    }
    const auto mechanism = hashMechanism();
    closeDigestSession();
    const CK_RV opened = library->openSession(device_->slot, kSessionFlags, nullptr, nullptr);
    digestLibrary_ = library;  // counted even when the library failed
    KELVO_CRYPTOKI_CHECK(opened);
    std::string parameter = mechanism.value().parameter;
    CK_MECHANISM digestMechanism{mechanism->type, parameter.empty() ? nullptr : parameter.data(),
                                 parameter.size()};
    KELVO_CRYPTOKI_CHECK(library->digestInit(device_->slot, &digestMechanism));
}

void Hash::update(const void* data, std::size_t length) {
    const auto library = this->library();
    if (!library) {
        BOOST_THROW_EXCEPTION(CryptoException(DeviceNotFound));
    }
    auto* bytes = static_cast<CK_BYTE*>(const_cast<void*>(data));
    KELVO_CRYPTOKI_CHECK(library->digestUpdate(device_->slot, bytes, length));
}

std::string Hash::finalize() {
    const auto library = this->library();
    if (!library) {
        BOOST_THROW_EXCEPTION(CryptoException(DeviceNotFound));
    }
    ResourceCleaner close([this] { closeDigestSession(); });
    CK_ULONG length = 0;
    KELVO_CRYPTOKI_CHECK_OUTPUT(library->digestFinal(device_->slot, nullptr, &length), length);
    std::string digest(length, '\0');
    KELVO_CRYPTOKI_CHECK_OUTPUT(
        library->digestFinal(device_->slot, reinterpret_cast<CK_BYTE*>(digest.data()), &length),
        length);
    digest.resize(std::min<std::size_t>(length, digest.size()));
    return digest;
}

void Hash::closeDigestSession() noexcept {
    const auto library = std::move(digestLibrary_);
    if (!library) {
        return;
    }
    try {
        library->closeSession(device_->slot);
    } catch (const std::exception& e) {
        BOOST_LOG_TRIVIAL(error) << "cryptoki: digest session not closed: " << e.what();
    }
}

std::string Hash::digestOf(std::istream& data) {
    try {
        initialize();
        forEachChunk(data, [this](const char* chunk, std::size_t size) { update(chunk, size); });
        return finalize();
    } catch (...) {
        closeDigestSession();
        throw;
    }
}

void Hash::checkMechanisms(ICryptoki& library, const boost::optional<Mechanism>& hash,
                           const boost::optional<CK_MECHANISM_TYPE>& sign) const {
    std::string message;
    if (!hash) {
        message = "Механизм хэширования для алгоритма " + algorithm_ + " не поддерживается";
    } else if (sign) {
        const auto offered = mechanisms(library, device_->slot);
        if (offered.empty()) {
            message = "Нет механизмов";
        } else if (std::find(offered.begin(), offered.end(), hash->type) == offered.end()) {
            message =
                "Отсутствуют поддерживаемые механизмы хеширования для алгоритма " + algorithm_;
        }
    } else {
        message = "Механизм подписи для алгоритма " + algorithm_ + " не поддерживается";
    }
    if (!message.empty()) {
        BOOST_THROW_EXCEPTION(CryptoException(MechanismNotSupported) << Message_(message));
    }
}

std::string Hash::create(std::istream& data) {
    // A failed run leaves no signature of an earlier one behind.
    signature_.clear();
    const auto library = this->library();
    if (!library) {
        BOOST_THROW_EXCEPTION(CryptoException(DeviceNotFound));
    }
    const auto hash = hashMechanism();
    const auto sign = signatureMechanism();
    checkMechanisms(*library, hash, sign);
    digest_ = digestOf(data);
    if (!signer_) {
        return digest_;
    }
    const CK_SLOT_ID slot = device_->slot;
    const CK_RV opened = library->openSession(slot, kSessionFlags, nullptr, nullptr);
    ResourceCleaner close([&library, slot] { library->closeSession(slot); });
    KELVO_CRYPTOKI_CHECK(opened);
    const auto publicKey = signer_->publicKey();
    if (!publicKey) {
        BOOST_THROW_EXCEPTION(CryptoException(PublicKeyNotFound));
    }
    boost::optional<ResourceCleaner> restoreLock;
    if (!library->isLoggedIn(slot)) {
        const bool wasLocked = library->isLocked(slot);
        restoreLock.emplace([&library, slot, wasLocked] { library->setLocked(slot, wasLocked); });
        library->setLocked(slot, false);
        // Only the host can ask the user for the key's PIN; without its user-interface
        // service the signature is refused rather than tried with no PIN at all.
        host::IUiService* service = published().uiService;
        if (!service || !service->authenticateKey(signer_->privateKey(), std::string())) {
            BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
        }
    }
    const auto publicObject = publicKeyByValue(*library, slot, *publicKey);
    if (!publicObject) {
        BOOST_THROW_EXCEPTION(CryptoException(PublicKeyNotFound));
    }
    const auto privateObject = pairedPrivateKey(*library, slot, *publicObject);
    if (!privateObject) {
        BOOST_THROW_EXCEPTION(CryptoException(PrivateKeyNotFound));
    }
    rewind(data);
    const std::string value = signature(data, *sign, *privateObject);
    checkAgainstCertificate(value);
    signature_ = value;
    return digest_;
}

void Hash::checkAgainstCertificate(const std::string& value) const {
    // A token that pairs the certificate with another key would sign in someone else's name.
    const std::string bigEndian(value.rbegin(), value.rend());
    const auto check = ssl::checkDigestSignature(signer_->x509(), digest_, bigEndian);
    if (check == ssl::SignatureCheck::Valid) {
        return;
    }
    if (check == ssl::SignatureCheck::Unavailable) {
        BOOST_THROW_EXCEPTION(CryptoException(SignatureKeyMismatch)
                              << Message_("ключ сертификата не удалось использовать для проверки"));
    }
    BOOST_THROW_EXCEPTION(CryptoException(SignatureKeyMismatch));
}

std::string Hash::signature(std::istream& data, CK_MECHANISM_TYPE mechanism, CK_OBJECT_HANDLE key) {
    const auto library = this->library();
    if (!library) {
        BOOST_THROW_EXCEPTION(CryptoException(DeviceNotFound));
    }
    const CK_SLOT_ID slot = device_->slot;
    CK_MECHANISM signMechanism{mechanism, nullptr, 0};
    KELVO_CRYPTOKI_CHECK(library->signInit(slot, &signMechanism, key));
    rewind(data);
    forEachChunk(data, [&library, slot](const char* chunk, std::size_t size) {
        auto* bytes = reinterpret_cast<CK_BYTE*>(const_cast<char*>(chunk));
        KELVO_CRYPTOKI_CHECK(library->signUpdate(slot, bytes, size));
    });
    CK_ULONG length = 0;
    KELVO_CRYPTOKI_CHECK_OUTPUT(library->signFinal(slot, nullptr, &length), length);
    std::string value(length, '\0');
    KELVO_CRYPTOKI_CHECK_OUTPUT(
        library->signFinal(slot, reinterpret_cast<CK_BYTE*>(value.data()), &length), length);
    value.resize(std::min<std::size_t>(length, value.size()));
    std::reverse(value.begin(), value.end());
    return value;
}

}  // namespace kelvo::plugin::cryptoki
