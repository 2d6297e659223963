#include "cryptoki/provider.h"

#include <stdexcept>

#include <boost/algorithm/string/split.hpp>
#include <boost/io/quoted.hpp>
#include <boost/locale/encoding.hpp>
#include <boost/locale/encoding_utf.hpp>
#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "catalogue/algorithms.h"
#include "catalogue/providers.h"
#include "cryptoki/hash.h"
#include "cryptoki/icryptoki.h"
#include "module/itoken.h"
#include "module/module.h"
#include "session/session.h"

namespace kelvo::plugin::cryptoki {

namespace {

using boost::locale::conv::utf_to_utf;

constexpr std::uint32_t kRutokenFamily = 0;
constexpr std::uint32_t kJaCartaFamily = 1;

crypto::catalogue::ProviderRecord record(const std::wstring& name) {
    return crypto::catalogue::findProvider(name);
}

// std::stoi with the texts hosts know from the platform's standard library.
int minorVersion(const std::wstring& text) {
    try {
        return std::stoi(text);
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument("invalid stoi argument");
    } catch (const std::out_of_range&) {
        throw std::out_of_range("stoi argument out of range");
    }
}

std::string jaCartaName(const Device& device, const std::string& product) {
    const std::wstring version = utf_to_utf<wchar_t>(device.firmwareVersion);
    std::vector<std::wstring> parts;
    boost::split(parts, version, [](wchar_t c) { return c == L'.'; });
    if (parts.size() < 2) {
        BOOST_LOG_TRIVIAL(warning)
            << "cryptoki: Jacarta SST: incorrect version: " << device.firmwareVersion
            << ", no minor value";
        return product;
    }
    return minorVersion(parts[1]) >= 59 ? "JaCarta-3" : product;
}

}  // namespace

Provider::Provider(boost::shared_ptr<Device> device)
    : name_(device ? utf_to_utf<wchar_t>(device->id) : std::wstring()), device_(std::move(device)) {
    if (const auto found = record(name_)) {
        type_ = found->providerType;
    }
}

boost::optional<std::string> Provider::displayName() const {
    const auto found = record(name_);
    if (!found) {
        return boost::none;
    }
    if (found->family == kRutokenFamily) {
        const std::wstring firmware = utf_to_utf<wchar_t>(device_->firmwareVersion);
        if (!firmware.empty() && firmware.front() >= L'3') {
            return std::string("Рутокен ЭЦП 3.0");
        }
    } else if (found->family == kJaCartaFamily) {
        return jaCartaName(*device_, found->product);
    }
    return found->product;
}

boost::optional<crypto::IProvider::Info> Provider::info() const {
    const auto found = record(name_);
    return found ? boost::make_optional(*found) : boost::none;
}

crypto::SharedSet<crypto::IProvider> Provider::providers(const host::Session* session) const {
    return all(session);
}

crypto::SharedSet<crypto::IProvider> Provider::all(const host::Session* session) {
    crypto::SharedSet<IProvider> result;
    for (module::Module* module : session::modules(session)) {
        module::IToken* token = module->token();
        if (!token) {
            continue;
        }
        for (const auto& device : token->devices()) {
            auto provider = boost::make_shared<Provider>(device);
            BOOST_LOG_TRIVIAL(info) << "cryptoki: providers: found provider: "
                                    << boost::io::quoted(utf_to_utf<char>(provider->name_))
                                    << ", type: " << provider->type_;
            result.insert(provider);
        }
    }
    return result;
}

std::set<std::wstring> Provider::containers() const {
    std::set<std::wstring> result;
    for (const std::string& id : device_->token->containers(device_)) {
        result.insert(utf_to_utf<wchar_t>(id));
    }
    return result;
}

std::set<std::string> Provider::algorithms() const {
    std::set<std::string> result;
    const auto library = device_->token->cryptoki();
    if (!library) {
        return result;
    }
    for (const CK_MECHANISM_TYPE mechanism : mechanisms(*library, device_->slot)) {
        for (const std::string& oid :
             crypto::catalogue::mechanismOids(static_cast<std::uint32_t>(mechanism))) {
            result.insert(oid);
        }
    }
    return result;
}

bool Provider::isSupported(const std::string& algorithm) const {
    return algorithms().count(algorithm) != 0;
}

crypto::SharedSet<crypto::ICertificate> Provider::certificates() const {
    return device_->token->certificates(device_);
}

std::string containerId(const std::wstring& providerName, const std::wstring& container) {
    const auto found = record(providerName);
    if (found && found->family == kRutokenFamily) {
        return boost::locale::conv::from_utf(container, "CP1251");
    }
    return utf_to_utf<char>(container);
}

boost::shared_ptr<crypto::ICertificate> Provider::findCertificate(
    const std::wstring& container) const {
    return device_->token->findCertificate(device_, containerId(name_, container));
}

boost::shared_ptr<crypto::IHash> Provider::createHash(
    const std::string& algorithm, const boost::shared_ptr<crypto::ICertificate>& signer) {
    return boost::make_shared<Hash>(device_, signer, algorithm);
}

boost::optional<std::wstring> Provider::findContainer(const crypto::IPublicKey& key,
                                                      unsigned long* keyType) const {
    return device_->token->findContainer(device_, key, keyType);
}

bool Provider::deleteContainer(const std::wstring& name, const std::string& pin) const {
    return device_->token->deleteContainer(device_, name, pin);
}

boost::optional<std::wstring> Provider::versionInfo() const {
    return utf_to_utf<wchar_t>("hardware version: " + device_->hardwareVersion +
                               "\nfirmware version: " + device_->firmwareVersion);
}

std::vector<unsigned char> Provider::randomBytes(std::size_t count) const {
    return device_->token->randomBytes(device_, count);
}

}  // namespace kelvo::plugin::cryptoki
