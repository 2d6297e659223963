#pragma once

#include <string>
#include <utility>
#include <vector>

#include <openssl/x509.h>

#include "crypto/icertificate.h"

namespace kelvo::plugin::ssl {

// (key, value) of every entry in name order: the key is the short name (numeric OID when
// the object has none) resolved through the name aliases, the value the stored bytes.
std::vector<std::pair<std::string, std::string>> nameEntries(const X509_NAME* name);

std::string nameText(const X509_NAME* name);

// The fixed eighteen-key record, filled from the entries it knows.
crypto::NameRecord nameRecord(const X509_NAME* name);

}  // namespace kelvo::plugin::ssl
