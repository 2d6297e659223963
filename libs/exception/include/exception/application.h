#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

namespace kelvo::plugin::exception {

enum ApplicationErrc : int {
    NoError = 0,
    Generic = 20001,
    Interrupted = 20002,
    Cancelled = 20003,
    Unloaded = 20004,
    UnknownMethod = 20005,
    ContentEmpty = 20006,
    FileIdEmpty = 20007,
    FileNameEmpty = 20008,
    FileNotFound = 20009,
    UnsupportedTransferEncoding = 20010,
    ResponceCorrupted = 20012,
    NotImplemented = 20013,
    TsaConnectionError = 20014,
    TsaBadRequest = 20015,
    TsaTimestampRejected = 20016,
    TsaTimestampVerificationError = 20017,
    TsaUnexpectedError = 20018,
    DiskFullError = 20019,
    CheckSumError = 20020,
    FileSizeOverflow = 20021,
    InvalidInputFormat = 20022,
    OutputSizeOverflow = 20023,
    FileCreateError = 20024,
    UnexpectedChunkError = 20025,
    TransferChunkError = 20026,
    FilesNotUnique = 20027,
};

class ApplicationCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const ApplicationCategory& applicationCategory();

class ApplicationException : public Exception {
public:
    explicit ApplicationException(int code);
};

}  // namespace kelvo::plugin::exception
