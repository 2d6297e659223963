#pragma once

#include <string>
#include <vector>

#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/iprovider.h"

namespace kelvo::plugin::crypto::catalogue {

using ProviderRecord = boost::shared_ptr<const IProvider::Info>;
using ProviderRecords = std::vector<ProviderRecord>;

// Every known CSP, key storage provider and token model, in catalogue order.
const ProviderRecords& allProviders();

// The catalogue of the running edition: all records, without the key storage providers
// when the published settings group is the reduced edition.
ProviderRecords activeProviders();

// Record by its registered name; empty when unknown. With duplicate names the first wins.
ProviderRecord findProvider(const std::wstring& name);
// The same for a name given in Windows-1251.
ProviderRecord findProvider(const std::string& cp1251Name);

}  // namespace kelvo::plugin::crypto::catalogue
