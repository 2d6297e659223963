#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo::host::app {

// Strict readings of the key-generation arguments. The module generates the key pair before
// it builds the request, so a typo found only then would leave a key pair behind; these
// refuse it first. Each throws boost::program_options::error saying what is accepted.

// Key-usage names separated by ",", or a number (decimal or 0x hexadecimal) of their bits.
std::uint32_t keyUsageMask(const std::string& text);
// Extended key usages, each a name or a dotted OID; items may also be separated by ",".
std::vector<std::string> extendedKeyUsages(const std::vector<std::string>& items);
// A dotted OID such as 1.2.643.7.1.1.2.2.
void checkOid(const std::string& text, const std::string& option);
// "name=value;name=value", each name an attribute name or a dotted OID.
void checkSubject(const std::string& subject);
void checkIdentificationKind(const std::string& kind);

}  // namespace kelvo::host::app
