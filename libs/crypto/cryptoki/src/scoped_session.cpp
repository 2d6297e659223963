#include "cryptoki/scoped_session.h"

#include "cryptoki/icryptoki.h"

namespace kelvo::plugin::cryptoki {

ScopedSession::ScopedSession(const boost::shared_ptr<ICryptoki>& library, CK_SLOT_ID slot)
    : opened_(library->openSession(slot, kFlags, nullptr, nullptr)),
      close_([library, slot] { library->closeSession(slot); }) {}

}  // namespace kelvo::plugin::cryptoki
