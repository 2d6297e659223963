#pragma once

#include <string>
#include <vector>

#include "openssl_objects.h"

namespace kelvo::host::app {

// Every certificate of a PEM file (a bundle), or the one of a DER file; throws
// std::runtime_error naming the path when it cannot be read or holds none.
std::vector<X509Ptr> readCertificates(const std::string& path);

}  // namespace kelvo::host::app
