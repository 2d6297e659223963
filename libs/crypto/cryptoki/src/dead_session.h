#pragma once

#include <system_error>

#include "cryptoki/pkcs11.h"

namespace kelvo::plugin::cryptoki {

// Results saying that a slot's session is gone: invalidated, closed, or its token pulled out.
// Work on such a session has no result, so these never pass as tolerated failures there.
bool isDeadSession(CK_RV rv);
// The same for the error a raised CryptokiException carries.
bool isDeadSession(const std::error_code& code);

}  // namespace kelvo::plugin::cryptoki
