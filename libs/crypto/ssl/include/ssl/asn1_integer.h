#pragma once

#include <openssl/asn1.h>

#include "ssl/scoped_handle.h"

namespace kelvo::plugin::ssl {

// An owned ASN1_INTEGER; a new zero integer unless one is handed over.
class ASN1_INTEGER : public scoped_handle<::ASN1_INTEGER> {
public:
    ASN1_INTEGER();
    explicit ASN1_INTEGER(::ASN1_INTEGER* owned);
};

}  // namespace kelvo::plugin::ssl
