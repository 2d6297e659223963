#pragma once

#include <boost/smart_ptr/shared_ptr.hpp>

#include "cryptoki/pkcs11.h"
#include "cryptoki/resource_cleaner.h"

namespace kelvo::plugin::cryptoki {

class ICryptoki;

// Opens the slot's read-write session for one operation and closes it when the operation
// ends, also when the opening failed (the tracker counts both).
class ScopedSession {
public:
    static constexpr CK_FLAGS kFlags = CKF_SERIAL_SESSION | CKF_RW_SESSION;

    ScopedSession(const boost::shared_ptr<ICryptoki>& library, CK_SLOT_ID slot);
    // What the library answered to the opening; the caller decides whether it is fatal.
    CK_RV opened() const { return opened_; }

private:
    CK_RV opened_;
    ResourceCleaner close_;
};

}  // namespace kelvo::plugin::cryptoki
