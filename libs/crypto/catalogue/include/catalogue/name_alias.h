#pragma once

#include <map>
#include <string>

namespace kelvo::plugin::crypto::catalogue {

// Alias key of the W3C Exclusive XML Canonicalization 1.0 transform.
inline constexpr const char* kExclusiveC14nAlias = "uriexcc14n";

// Drops every "-" and "_" and lowers ASCII letters; a text with any byte of 0x80 or above
// is returned as given.
std::string foldName(const std::string& name);

// The canonical text (an OID, URI or normalised name) for the folded name, or the name
// unchanged when it is no alias.
std::string resolveAlias(const std::string& name);

// The alias table itself, keyed by folded alias.
const std::map<std::string, std::string>& aliasTable();

}  // namespace kelvo::plugin::crypto::catalogue
