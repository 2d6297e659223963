#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

namespace kelvo::plugin::exception {

enum CryptokiErrc : int {
    CkrCancel = 40001,
    CkrHostMemory = 40002,
    CkrSlotIdInvalid = 40003,
    CkrGeneralError = 40005,
    CkrFunctionFailed = 40006,
    CkrArgumentsBad = 40007,
    CkrNoEvent = 40008,
    CkrNeedToCreateThreads = 40009,
    CkrCantLock = 40010,
    CkrAttributeReadOnly = 40016,
    CkrAttributeSensitive = 40017,
    CkrAttributeTypeInvalid = 40018,
    CkrAttributeValueInvalid = 40019,
    CkrDataInvalid = 40032,
    CkrDataLenRange = 40033,
    CkrDeviceError = 40048,
    CkrDeviceMemory = 40049,
    CkrDeviceRemoved = 40050,
    CkrEncryptedDataInvalid = 40064,
    CkrEncryptedDataLenRange = 40065,
    CkrFunctionCanceled = 40080,
    CkrFunctionNotParallel = 40081,
    CkrFunctionNotSupported = 40084,
    CkrKeyHandleInvalid = 40096,
    CkrKeySizeRange = 40098,
    CkrKeyTypeInconsistent = 40099,
    CkrKeyNotNeeded = 40100,
    CkrKeyChanged = 40101,
    CkrKeyNeeded = 40102,
    CkrKeyIndigestible = 40103,
    CkrKeyFunctionNotPermitted = 40104,
    CkrKeyNotWrappable = 40105,
    CkrKeyUnextractable = 40106,
    CkrMechanismInvalid = 40112,
    CkrMechanismParamInvalid = 40113,
    CkrObjectHandleInvalid = 40130,
    CkrOperationActive = 40144,
    CkrOperationNotInitialized = 40145,
    CkrPinIncorrect = 40160,
    CkrPinInvalid = 40161,
    CkrPinLenRange = 40162,
    CkrPinExpired = 40163,
    CkrPinLocked = 40164,
    CkrSessionClosed = 40176,
    CkrSessionCount = 40177,
    CkrSessionHandleInvalid = 40179,
    CkrSessionParallelNotSupported = 40180,
    CkrSessionReadOnly = 40181,
    CkrSessionExists = 40182,
    CkrSessionReadOnlyExists = 40183,
    CkrSessionReadWriteSoExists = 40184,
    CkrSignatureInvalid = 40192,
    CkrSignatureLenRange = 40193,
    CkrTemplateIncomplete = 40208,
    CkrTemplateInconsistent = 40209,
    CkrTokenNotPresent = 40224,
    CkrTokenNotRecognized = 40225,
    CkrTokenWriteProtected = 40226,
    CkrUnwrappingKeyHandleInvalid = 40240,
    CkrUnwrappingKeySizeRange = 40241,
    CkrUnwrappingKeyTypeInconsistent = 40242,
    CkrUserAlreadyLoggedIn = 40256,
    CkrUserNotLoggedIn = 40257,
    CkrUserPinNotInitialized = 40258,
    CkrUserTypeInvalid = 40259,
    CkrUserAnotherAlreadyLoggedIn = 40260,
    CkrUserTooManyTypes = 40261,
    CkrWrappedKeyInvalid = 40272,
    CkrWrappedKeyLenRange = 40274,
    CkrWrappingKeyHandleInvalid = 40275,
    CkrWrappingKeySizeRange = 40276,
    CkrWrappingKeyTypeInconsistent = 40277,
    CkrRandomSeedNotSupported = 40288,
    CkrRandomNoRng = 40289,
    CkrDomainParamsInvalid = 40304,
    CkrBufferTooSmall = 40336,
    CkrSavedStateInvalid = 40352,
    CkrInformationSensitive = 40368,
    CkrStateUnsaveable = 40384,
    CkrCryptokiNotInitialized = 40400,
    CkrCryptokiAlreadyInitialized = 40401,
    CkrMutexBad = 40416,
    CkrMutexNotLocked = 40417,
    CkrNewPinMode = 40432,
    CkrNextOtp = 40433,
    CkrExceededMaxIterations = 40437,
    CkrFipsSelfTestFailed = 40438,
    CkrLibraryLoadFailed = 40439,
    CkrPinTooWeak = 40440,
    CkrPublicKeyInvalid = 40441,
    CkrFunctionRejected = 40512,
    CkrVendorDefined = 49000,
    CkrIclLibraryNotFound = 49045,
    CkrAppletStartkeyInvalid = 49046,
    CkrPinpolicyAge = 49047,
    CkrPinpolicyRepeat = 49049,
    CkrPinpolicyCase = 49050,
    CkrPinpolicyDigit = 49051,
    CkrPinpolicySpecchar = 49052,
    CkrPinpolicyViolation = 49053,
    CkrLoggingNotStarted = 49054,
    CkrLogAlreadyRecorded = 49055,
    CkrLogEof = 49056,
    CkrLoggingAlreadyStarted = 49057,
    CkrLogNoFreeSpace = 49058,
    CkrLogNotFound = 49059,
    CkrIclJcverifyNotFound = 49065,
    CkrIclJcverifyChecksumNotFound = 49066,
    CkrIclChecksumNotFound = 49067,
    CkrIclJcverifyChecksum = 49068,
    CkrIclChecksum = 49069,
    CkrIclNotIcl = 49070,
};

class CryptokiCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const CryptokiCategory& cryptokiCategory();

class CryptokiException : public Exception {
public:
    explicit CryptokiException(int code);
    // The category's message of this exception's own code.
    const char* message() const noexcept override;
};

// False for CKR_OK and the six failures tolerated everywhere.
bool isCryptokiError(unsigned long rv);
// 40000 + the low 16 bits, plus 9000 for vendor-defined values.
int toErrorCode(unsigned long rv);

}  // namespace kelvo::plugin::exception
