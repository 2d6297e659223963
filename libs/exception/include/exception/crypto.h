#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

#include <string>

#include <boost/exception/info.hpp>

namespace kelvo::plugin::crypto::exception {

enum CryptoErrc : int {
    PrivateKeyNotFound = 30001,
    PublicKeyNotFound = 30002,
    CertificateNotFound = 30003,
    ProviderNotFound = 30004,
    ContainerNotFound = 30005,
    ContextNotFound = 30006,
    AlgParamNotFound = 30007,
    AlgorithmNotFound = 30008,
    TypeNotFound = 30009,
    StoreNotFound = 30010,
    DeviceNotFound = 30011,
    SignatureTypeNotFound = 30012,
    StoreNameEmpty = 30013,
    CertificateEmpty = 30014,
    AlgorithmEmpty = 30015,
    MechanismsEmpty = 30016,
    TokensLoginFailed = 30017,
    CertificateInStore = 30018,
    CertificateOutStore = 30019,
    MechanismNotSupported = 30020,
    AlgorithmNotSupported = 30021,
    SignatureTypeNotSupported = 30022,
    ProviderNotSupportedAlgorithm = 30023,
    IdentificationKindNotSupported = 30024,
    PersistentVisualizationNotSupported = 30025,
    WriteToStoreForbidden = 30026,
    SignToElementXPathNotExists = 30027,
    ElementToSignXPathNotExists = 30028,
    KeyUsageNotFound = 30029,
    ProviderNameEmpty = 30030,
    CertificateInTokenContainer = 30031,
    CertificateInstallFailed = 30032,
    ProviderNotSupported = 30033,
    XmlInitializeProviderNotFound = 30034,
    ContainerInTokenNotExists = 30035,
    XmlSignatureFailed = 30036,
    XmlCanonocalizationFailed = 30037,
    TokenLimitations = 30038,
    ProviderAlgorithmFailed = 30039,
    InvalidContentData = 30040,
    CertificateRequestFailed = 30041,
    TokenResourcesNotFound = 30042,
    TokenInitializeFailed = 30043,
    CertificateRemoveFailed = 30044,
    CertificateContextFailed = 30045,
    CertificateFormatNotSupported = 30046,
    InvalidProviderTypeSpecified = 30047,
    AttributeValueInvalid = 30048,
    AttributeNameInvalid = 30049,
    AttributeTypeInvalid = 30050,
    AttributeNameDublicate = 30051,
    PinEntryLimitReached = 30052,
    AuthorisationRejected = 30053,
    NoCertificates = 30054,
    CertificateChainFailed = 30055,
    CertificateNotValid = 30056,
    DecryptError = 30058,
    OperationNotSupportedByProvider = 30059,
};

class CryptoCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const CryptoCategory& cryptoCategory();

// Free text attached to a crypto failure (what() appends it after the message).
using Message_ = boost::error_info<struct MessageTag, std::string>;

class CryptoException : public kelvo::plugin::exception::Exception {
public:
    explicit CryptoException(int code);
    // The attached text instead of the code's message for XML signature failures.
    const char* message() const noexcept override;
};

// Publishes the text in the last-error record, then attaches it.
const CryptoException& operator<<(const CryptoException& exception, Message_ message);

}  // namespace kelvo::plugin::crypto::exception
