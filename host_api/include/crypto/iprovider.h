#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <boost/core/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/shared_set.h"

namespace kelvo::plugin::cryptoki {
class Device;
}

namespace kelvo::host {
struct Session;
}

namespace kelvo::plugin::crypto {

class ICertificate;
class IHash;
class IPublicKey;

class IProvider : private boost::noncopyable {
public:
    // A catalogue record of a crypto provider or token model.
    struct Info {
        std::uint32_t providerType = 0;
        std::uint32_t family = 0;
        std::uint32_t isToken = 0;
        std::wstring name;
        std::wstring typeName;
        std::wstring legacyName;
        std::string product;  // UTF-8
        std::string code;
        std::set<std::wstring> keywords;
        std::set<std::string> algorithms;
        std::set<std::string> keyAlgorithms;
    };

    virtual ~IProvider() = default;

    virtual boost::optional<std::string> displayName() const = 0;
    virtual boost::optional<Info> info() const = 0;
    virtual SharedSet<IProvider> providers(const host::Session* session) const = 0;
    virtual std::set<std::wstring> containers() const = 0;
    virtual std::set<std::string> algorithms() const = 0;
    virtual bool isSupported(const std::string& algorithm) const = 0;
    virtual SharedSet<ICertificate> certificates() const = 0;
    virtual std::pair<boost::shared_ptr<void>, boost::shared_ptr<void>> keyPair() const = 0;
    virtual boost::shared_ptr<cryptoki::Device> device() const = 0;
    virtual boost::shared_ptr<void> nativeHandle() const = 0;
    virtual boost::shared_ptr<ICertificate> findCertificate(
        const std::wstring& container) const = 0;
    virtual boost::shared_ptr<IHash> createHash(const std::string& algorithm,
                                                const boost::shared_ptr<ICertificate>& signer) = 0;
    virtual bool isSoftware() const = 0;
    virtual const std::wstring& name() const = 0;
    virtual boost::optional<std::wstring> findContainer(const IPublicKey& key,
                                                        unsigned long* keyType) const = 0;
    virtual const boost::optional<std::wstring>& extraText() const = 0;
    virtual bool deleteContainer(const std::wstring& name, const std::string& pin) const = 0;
    virtual boost::optional<std::wstring> versionInfo() const = 0;
    virtual bool isHardware() const = 0;
    virtual std::vector<unsigned char> randomBytes(std::size_t count) const = 0;
};

}  // namespace kelvo::plugin::crypto
