#pragma once

#include "exception/cryptoki.h"
#include "exception/throw.h"

// Raises CryptokiException for a result the caller may not ignore; the six tolerated failures
// pass. A macro so that the throw location names the operation that checks.
#define KELVO_CRYPTOKI_CHECK(rv)                                                 \
    do {                                                                         \
        const CK_RV checked_rv_ = (rv);                                          \
        if (::kelvo::plugin::exception::isCryptokiError(checked_rv_)) {          \
            BOOST_THROW_EXCEPTION(::kelvo::plugin::exception::CryptokiException( \
                ::kelvo::plugin::exception::toErrorCode(checked_rv_)));          \
        }                                                                        \
    } while (false)
