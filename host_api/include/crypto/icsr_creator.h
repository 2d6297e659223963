#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/core/noncopyable.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::crypto {

class IAuthHandle;
class IProvider;

// Who asks for the request; fills the ClientInfo request attribute.
struct ClientInfo {
    std::string username;
    std::string hostname;
    std::string process;
};

// What the host wants in a certificate request. Strings are UTF-8 where they are text.
struct CsrParams {
    boost::shared_ptr<IProvider> provider;
    const ClientInfo* clientInfo = nullptr;
    std::string subject;  // "key=value;key=value"
    std::string signTool;
    std::string keyId;
    std::string upn;
    std::string algorithmParamSet;
    std::string identificationKind;
    std::vector<std::string> extendedKeyUsages;
    std::vector<std::string> attributes;
    std::vector<std::string> policies;
    std::vector<std::string> dnsNames;
    std::vector<std::pair<std::string, std::string>> otherNames;
    std::vector<std::pair<std::string, std::string>> nameValuePairs;
    std::uint32_t keyUsage = 0;
    bool exportable = false;
};

class ICsrCreator : private boost::noncopyable {
public:
    struct Result {
        std::string request;  // base64 of the DER request, one line
        std::string containerId;
        std::string keyId;
        std::string publicKeyValue;
        bool exportable = true;
    };

    virtual boost::shared_ptr<Result> create(const boost::shared_ptr<CsrParams>& params,
                                             const boost::shared_ptr<IAuthHandle>& authHandle) = 0;
    virtual ~ICsrCreator() = default;
};

}  // namespace kelvo::plugin::crypto
