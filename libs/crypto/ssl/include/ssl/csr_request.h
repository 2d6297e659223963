#pragma once

#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/icsr_creator.h"

namespace kelvo::plugin::ssl {

// PKCS#10 request for the key, signed with it: one line of base64 of the DER encoding.
// An empty params pointer logs a warning and gives an empty string. Throws SslException
// (SrSetValueFailed, SrCsrSetPublicKeyFailed, SrCsrSignFailed, SrCsrFailed) or
// CryptoException IdentificationKindNotSupported; nothing is returned then.
std::string createCsr(EVP_PKEY* key, const boost::shared_ptr<crypto::CsrParams>& params);

// The composing steps of createCsr, in the order it calls them. Each adds to the request.

// Subject items "key=value" separated by ";"; keys resolved through the name aliases.
void appendSubject(X509_REQ* request, const crypto::CsrParams& params);
// OS version attribute 1.3.6.1.4.1.311.13.2.3, when listed in params.attributes.
void appendOsVersion(X509_REQ* request, const crypto::CsrParams& params);
// ClientInfo attribute 1.3.6.1.4.1.311.21.20, when listed in params.attributes.
void appendClientInfo(X509_REQ* request, const crypto::CsrParams& params);
// EnrolmentCSP attribute 1.3.6.1.4.1.311.13.2.2, when listed in params.attributes.
void appendCspInfo(X509_REQ* request, const crypto::CsrParams& params);
// Every name-value pair as one more value of attribute 1.3.6.1.4.1.311.13.2.1.
void appendKeysValidity(X509_REQ* request, const crypto::CsrParams& params);
// The extension-request attribute; extensions the library refuses are left out.
void appendExtensions(X509_REQ* request, const crypto::CsrParams& params);
// Sets the public key and signs the request with the key.
void sign(X509_REQ* request, EVP_PKEY* key);

// "DER:" and the lower-case hex of the INTEGER for an identification-kind name
// ("personal" gives "DER:020100"); exact names only.
std::string identificationKindExtension(const std::string& name);

}  // namespace kelvo::plugin::ssl
