#include "dead_session.h"

#include <algorithm>
#include <array>

#include "exception/cryptoki.h"

namespace kelvo::plugin::cryptoki {

namespace {

constexpr std::array<CK_RV, 4> kDeadSession{CKR_SESSION_HANDLE_INVALID, CKR_SESSION_CLOSED,
                                            CKR_DEVICE_REMOVED, CKR_TOKEN_NOT_PRESENT};

}  // namespace

bool isDeadSession(CK_RV rv) {
    return std::find(kDeadSession.begin(), kDeadSession.end(), rv) != kDeadSession.end();
}

bool isDeadSession(const std::error_code& code) {
    return code.category() == exception::cryptokiCategory() &&
           std::any_of(kDeadSession.begin(), kDeadSession.end(),
                       [&code](CK_RV rv) { return exception::toErrorCode(rv) == code.value(); });
}

}  // namespace kelvo::plugin::cryptoki
