#pragma once

#include "dead_session.h"
#include "exception/cryptoki.h"
#include "exception/throw.h"

// Raises CryptokiException for a result the caller may not ignore. The tolerated failures pass,
// except those saying the session or its token is gone: work on a dead session has no result,
// and an empty one must not pass for success. A macro so that the throw location names the
// operation that checks.
#define KELVO_CRYPTOKI_CHECK(rv)                                                 \
    do {                                                                         \
        const CK_RV checked_rv_ = (rv);                                          \
        if (::kelvo::plugin::exception::isCryptokiError(checked_rv_) ||          \
            ::kelvo::plugin::cryptoki::isDeadSession(checked_rv_)) {             \
            BOOST_THROW_EXCEPTION(::kelvo::plugin::exception::CryptokiException( \
                ::kelvo::plugin::exception::toErrorCode(checked_rv_)));          \
        }                                                                        \
    } while (false)

// Library start-up and slot listing: every tolerated failure passes, an absent token included,
// and the caller goes on with what the library left in its outputs.
#define KELVO_CRYPTOKI_CHECK_LISTING(rv)                                         \
    do {                                                                         \
        const CK_RV checked_rv_ = (rv);                                          \
        if (::kelvo::plugin::exception::isCryptokiError(checked_rv_)) {          \
            BOOST_THROW_EXCEPTION(::kelvo::plugin::exception::CryptokiException( \
                ::kelvo::plugin::exception::toErrorCode(checked_rv_)));          \
        }                                                                        \
    } while (false)

// A digest or a signature: only success with bytes is a result. Any failure raises with its own
// code, and success without bytes as a failed function.
#define KELVO_CRYPTOKI_CHECK_OUTPUT(rv, length)                                   \
    do {                                                                          \
        const CK_RV checked_rv_ = (rv);                                           \
        if (checked_rv_ != CKR_OK || (length) == 0) {                             \
            BOOST_THROW_EXCEPTION(::kelvo::plugin::exception::CryptokiException(  \
                ::kelvo::plugin::exception::toErrorCode(                          \
                    checked_rv_ != CKR_OK ? checked_rv_ : CKR_FUNCTION_FAILED))); \
        }                                                                         \
    } while (false)
