#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

#include <string>

#include <boost/exception/info.hpp>

namespace kelvo::plugin::ssl::exception {

enum SslErrc : int {
    SrFailed = 50001,
    SrInitCryptoFailed = 50002,
    SrLoadEngineFailed = 50003,
    SrUnloadEngineFailed = 50004,
    SrInitEngineFailed = 50005,
    SrSetDefaultEngineFailed = 50006,
    SrGetCmsSignatureFailed = 50007,
    SrVerifyResponseFailed = 50008,
    SrAddTimestampFailed = 50009,
    SrEnvDigestFailed = 50010,
    SrSetAlgorithmFailed = 50011,
    SrSetMessageFailed = 50012,
    SrSetRandFailed = 50013,
    SrSetValueFailed = 50014,
    SrCsrSetValueFailed = 50015,
    SrCsrSetPublicKeyFailed = 50016,
    SrCsrSignFailed = 50017,
    SrCsrFailed = 50018,
    AddSignedAttrFailed = 50019,
    SrXmlReadMemoryFailed = 50040,
    SrXmlGetRootFailed = 50041,
    SrXmlFindNodeFailed = 50042,
    SrXmlCreateNodeFailed = 50043,
    SrCmsConvertFailed = 50044,
    SrCmsDataInitFailed = 50045,
    SrBioWriteFailed = 50046,
};

class SslCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const SslCategory& sslCategory();

// Text of OpenSSL's error queue at the time of the failure.
using Module_ = boost::error_info<struct ModuleTag, std::string>;

class SslException : public kelvo::plugin::exception::Exception {
public:
    explicit SslException(int code);
    // The category's message of this exception's own code.
    const char* message() const noexcept override;
};

// Publishes the text in the last-error record, then attaches it.
const SslException& operator<<(const SslException& exception, Module_ module);

}  // namespace kelvo::plugin::ssl::exception
