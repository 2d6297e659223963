#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kelvo::plugin::crypto::catalogue {

// OIDs (or digest names) that go with a PKCS#11 mechanism, in table order; empty when unknown.
std::vector<std::string> mechanismOids(std::uint32_t mechanism);

// CryptoAPI algorithm identifier (ALG_ID) to OID.
const std::map<std::uint32_t, std::string>& cryptoApiOids();

// GOST hash OIDs; with foreign hashes also the names "md4" to "sha512".
const std::set<std::string>& hashOids(bool acceptForeign = false);
const std::set<std::string>& signatureOids();
const std::set<std::string>& publicKeyOids();
const std::set<std::string>& cipherOids();

}  // namespace kelvo::plugin::crypto::catalogue
