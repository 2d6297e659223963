#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

namespace kelvo::plugin::crypto::catalogue {

struct Store {
    std::string systemName;  // e.g. "My", "CertificateAuthority"
    std::string phrase;      // genitive display phrase, Windows-1251
};

// Store by its key ("my", "root", ... "ca"); empty for an unknown key.
boost::optional<Store> findStore(const std::string& key);

// All eight store keys in table order.
const std::vector<std::string>& storeKeys();
// The stores of trusted parties: "root", "authroot", "trustedpeople", "trustedpublisher".
const std::vector<std::string>& trustedStoreKeys();

}  // namespace kelvo::plugin::crypto::catalogue
