#include "ssl/asn1_integer.h"

namespace kelvo::plugin::ssl {

ASN1_INTEGER::ASN1_INTEGER() : ASN1_INTEGER(ASN1_INTEGER_new()) {}

ASN1_INTEGER::ASN1_INTEGER(::ASN1_INTEGER* owned)
    : scoped_handle<::ASN1_INTEGER>(owned, ASN1_INTEGER_free) {}

}  // namespace kelvo::plugin::ssl
